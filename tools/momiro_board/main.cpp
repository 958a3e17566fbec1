// momiro-board: reads board commands from standard input, one per line, and
// answers on standard output (see driver.h for the protocol).
#include <iostream>
#include <string>

#include "driver.h"

int main() {
  momiro::BoardDriver driver(std::cout);
  std::string line;
  while (std::getline(std::cin, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    driver.Execute(line);
    std::cout.flush();
  }
  return 0;
}
