#include "support/scenario.h"

#include <sstream>

#include "support/process.h"

std::vector<Step> scenario(const std::string &name)
{
  std::istringstream lines(read_file(FLUMO_SCENARIOS "/" + name));
  std::vector<Step> steps;
  std::string line, part;
  while (std::getline(lines, line)) {
    std::istringstream parts(line);
    while (!line.empty() && line[0] != '#' && std::getline(parts, part, ';')) {
      std::istringstream words(part);
      Step s = {"", "", 1, line};
      words >> s.verb >> s.what >> s.n;
      steps.push_back(s);
    }
  }
  return steps;
}
