#pragma once

// The application's entry: hands the process to the platform's application main loop and
// returns its exit status. The front end calls it as the program's main.
int velourMain(int argc, char** argv);

// The soundboard's identity (com.velour.soundboard, version 1.0) and its bundle folder (the
// resources the SDK ships), each unless the caller set its own. velourMain calls it; velour
// and vozave call it first, before their options (--device bundle-version) change the bundle.
void useSoundboardBundle();

// Makes the application's classes known to the interface loader by name.
void registerVelourClasses();
