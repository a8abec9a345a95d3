#include "platform/line_events.h"

#include <sys/ioctl.h>

#include "platform/serial.h"

namespace {

DWORD CountEvents(const LineCounts& before, const LineCounts& now) {
  DWORD events = 0;
  if (now.frame != before.frame || now.parity != before.parity || now.overrun != before.overrun ||
      now.bufferOverrun != before.bufferOverrun) {
    events |= EV_ERR;
  }
  if (now.breaks != before.breaks) events |= EV_BREAK;
  if (now.cts != before.cts) events |= EV_CTS;
  if (now.dsr != before.dsr) events |= EV_DSR;
  if (now.dcd != before.dcd) events |= EV_RLSD;
  if (now.ring != before.ring) events |= EV_RING;
  return events;
}

DWORD LevelEvents(int before, int now) {
  const int flipped = before ^ now;
  DWORD events = 0;
  if (flipped & TIOCM_CTS) events |= EV_CTS;
  if (flipped & TIOCM_DSR) events |= EV_DSR;
  if (flipped & TIOCM_CAR) events |= EV_RLSD;
  if ((before & TIOCM_RNG) && !(now & TIOCM_RNG)) events |= EV_RING;
  return events;
}

}  // namespace

DWORD LineChangeEvents(const LineSnapshot& before, const LineSnapshot& now) {
  DWORD events = 0;
  if (before.counts && now.counts) events |= CountEvents(*before.counts, *now.counts);
  if (before.lines && now.lines) events |= LevelEvents(*before.lines, *now.lines);
  return events;
}
