// What every FFmpeg opening of a station address shares: the protocols it may reach, the
// options of its connection, and the interrupt callback over a CancelToken.
#pragma once

struct AVDictionary;

namespace engine {

// http and https (over tcp and tls), and crypto for encrypted HLS segments.
extern const char *const kStationProtocols;

// ICY metadata requested, the read time-out, no reconnects inside FFmpeg, checked TLS.
void AddStationConnectionOptions(AVDictionary **options);

// For AVIOInterruptCB: opaque is a CancelToken; 1 once it has expired.
int InterruptCallback(void *opaque);

}  // namespace engine
