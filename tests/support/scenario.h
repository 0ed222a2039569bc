#ifndef FLUMO_TEST_SCENARIO_H
#define FLUMO_TEST_SCENARIO_H

#include <string>
#include <vector>

/* A step of a scenario in tests/scenarios, whose first lines say what the
   steps mean: a verb (down, up, tap, hold, shows, plays), what it names
   (a key, a time, a picture) and a number (how many, or the counter). */
struct Step {
  std::string verb, what;
  int n;
  std::string line; /* the line it stands on */
};

/* The steps of the scenario file `name`, in order. */
std::vector<Step> scenario(const std::string &name);

#endif
