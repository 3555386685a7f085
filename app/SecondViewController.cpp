#include "app/SecondViewController.h"

SecondViewController::SecondViewController()
    : BoardViewController("SecondViewController", {"Moo", "Meow", "Woof", "Quack", "Oink"}) {}
