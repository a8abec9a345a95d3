// morvelctl's exit statuses; with several devices the largest of theirs.
#pragma once

enum ExitStatus {
  kDone = 0,
  kRefusedOrDiffers = 1,
  kUsage = 2,
  kPortUnusable = 3,  // missing, busy, not permitted, or gone
  kNoAnswer = 4,
  kInterrupted = 130,  // SIGINT, SIGTERM or SIGHUP, as a shell reports a signal
};
