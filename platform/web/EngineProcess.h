#pragma once

#include <sys/types.h>

#include <string>

#include "platform/foundation/Result.h"
#include "platform/web/BrowserProfile.h"

namespace platform {

// The web engine's process for Browser, which starts one per run: its command line, the two
// pipes it speaks the debugging protocol on (commands on the child's fd 3, replies on its
// fd 4), and its end, which kills and reaps its whole process group and the helpers that left
// the group, so that nothing of an ended engine stays behind, zombies included.
class EngineProcess {
 public:
  pid_t pid = -1;      // also the engine's process group
  int commandFd = -1;  // non-blocking; the engine reads its commands here
  int replyFd = -1;    // non-blocking; its replies and events

  // Starts `program` in `profile`'s folder with its environment, or says why it could not.
  [[nodiscard]] static Result<EngineProcess> launch(const std::string& program,
                                                    const BrowserProfile& profile);
  // Kills the process group of `pid` and reaps it; what has not ended within half a second
  // is reaped at the next launch. Helpers that left the group are known by `profile`'s folder.
  static void end(pid_t pid, const BrowserProfile* profile);
};

}  // namespace platform
