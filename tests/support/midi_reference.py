"""A second reader of Standard MIDI Files for the engine's tests: mido's.

Prints the song's length in seconds ("length S") and every note that starts
("note CHANNEL KEY SECONDS"), in the order mido's merged track gives them. The
tracks of a format 2 file play one after another, each from 120 beats a minute
(mido itself gives no length for format 2).
"""
import sys

import mido


def walk(messages, ticks_per_beat, start):
    tempo = 500000
    now = start
    for message in messages:
        now += mido.tick2second(message.time, ticks_per_beat, tempo)
        if message.type == 'set_tempo':
            tempo = message.tempo
        elif message.type == 'note_on' and message.velocity > 0:
            print('note %d %d %.9f' % (message.channel, message.note, now))
    return now


def main():
    song = mido.MidiFile(sys.argv[1])
    if song.type == 2:
        end = 0.0
        for track in song.tracks:
            end = walk(track, song.ticks_per_beat, end)
    else:
        end = walk(mido.merge_tracks(song.tracks), song.ticks_per_beat, 0.0)
    print('length %.9f' % end)


main()
