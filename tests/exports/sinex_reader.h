#pragma once

// A reader of the SINEX blocks we write, by the columns of the format's Appendix I, kept
// apart from the writer so that a shifted column shows.

#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace velk::testing {

struct SinexParameter {
  int index = 0;
  std::string type, code, point, solution, epoch, unit, constraint;
  double value = 0, sigma = 0;
};

struct SinexRead {
  std::string header;
  std::map<std::string, std::vector<std::string>> blocks;  // data lines by block title
  std::vector<std::string> footer;
};

inline SinexRead readSinexBlocks(const std::string& text) {
  SinexRead read;
  std::istringstream in(text);
  std::string line, block;
  while (std::getline(in, line)) {
    if (line.rfind("%=SNX", 0) == 0)
      read.header = line;
    else if (line == "%ENDSNX")
      read.footer.push_back(line);
    else if (line[0] == '+')
      block = line.substr(1);
    else if (line[0] == '-')
      block.clear();
    else if (line[0] == ' ' && !block.empty())
      read.blocks[block].push_back(line);
  }
  return read;
}

// Columns c1 to c2, counted from 1 as the format counts them.
inline std::string columns(const std::string& line, std::size_t c1, std::size_t c2) {
  return c1 > line.size() ? std::string() : line.substr(c1 - 1, c2 - c1 + 1);
}

inline double fortranNumber(const std::string& text) {
  return std::stod(text);
}

// SOLUTION/ESTIMATE, APRIORI, NORMAL_EQUATION_VECTOR: 1X,I5,1X,A6,1X,A4,1X,A2,1X,A4,1X,
// I2.2:I3.3:I5.5,1X,A4,1X,A1,1X,E21.15[,1X,E11.6].
inline SinexParameter parameterLine(const std::string& line) {
  SinexParameter p;
  p.index = std::stoi(columns(line, 2, 6));
  p.type = columns(line, 8, 13);
  p.code = columns(line, 15, 18);
  p.point = columns(line, 20, 21);
  p.solution = columns(line, 23, 26);
  p.epoch = columns(line, 28, 39);
  p.unit = columns(line, 41, 44);
  p.constraint = columns(line, 46, 46);
  p.value = fortranNumber(columns(line, 48, 68));
  if (line.size() >= 80) p.sigma = fortranNumber(columns(line, 70, 80));
  return p;
}

// A lower-triangle matrix block: 1X,I5,1X,I5,3(1X,E21.14); elements not written are zero.
inline std::vector<std::vector<double>> matrixLines(const std::vector<std::string>& lines,
                                                    std::size_t size) {
  std::vector<std::vector<double>> m(size, std::vector<double>(size, 0.0));
  for (const std::string& line : lines) {
    const std::size_t row = std::stoul(columns(line, 2, 6)) - 1;
    const std::size_t first = std::stoul(columns(line, 8, 12)) - 1;
    for (std::size_t k = 0; k < 3 && 13 + 22 * k + 21 <= line.size(); ++k) {
      const double value = fortranNumber(columns(line, 14 + 22 * k, 34 + 22 * k));
      m[row][first + k] = value;
      m[first + k][row] = value;
    }
  }
  return m;
}

}  // namespace velk::testing
