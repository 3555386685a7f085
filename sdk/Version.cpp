#include "vozave/Version.h"

const char* vozaveLibraryVersion() {
  return VOZAVE_VERSION_STRING;
}
