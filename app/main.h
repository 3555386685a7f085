#pragma once

// The application's entry: hands the process to the platform's application main loop and
// returns its exit status. The front end calls it as the program's main.
int velourMain(int argc, char** argv);

// Makes the application's classes known to the interface loader by name.
void registerVelourClasses();
