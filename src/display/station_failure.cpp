#include "station_failure.h"

#include "audio_engine.h"

bool StationFailureText(int errorCode, std::string *text) {
    switch (errorCode) {
        case BASS_ERROR_TIMEOUT:
        case BASS_ERROR_NONET:
            *text = "Станция не отвечает";
            return true;
        case BASS_ERROR_FILEOPEN:
            *text = "Станция не найдена";
            return true;
        case BASS_ERROR_SSL:
            *text = "Ошибка защищённого соединения";
            return true;
        case BASS_ERROR_FILEFORM:
        case BASS_ERROR_PROTOCOL:
            *text = "Формат не поддерживается";
            return true;
        default:
            return false;
    }
}
