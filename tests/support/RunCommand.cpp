#include "tests/support/RunCommand.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velour_test {

CommandResult runCommand(const std::string& program, const std::string& args,
                         const std::string& input, StandardError errors) {
  char path[] = "/tmp/velour-input-XXXXXX";
  int fd = ::mkstemp(path);
  CommandResult result;
  if (fd < 0) return result;
  FILE* file = ::fdopen(fd, "w");
  std::fputs(input.c_str(), file);
  std::fclose(file);
  std::string command = "'" + program + "' " + args + " < '" + path + "' " +
                        (errors == StandardError::Merged ? "2>&1" : "2>/dev/null");
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, got);
    int raw = ::pclose(pipe);
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  }
  ::unlink(path);
  return result;
}

}  // namespace velour_test
