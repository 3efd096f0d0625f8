// A generated network of known truth exported to DynaML and gama-local, both files parsed
// back, and adjusted here by least squares: the exported numbers must be the reports' own,
// and the adjustment must give back the truth within the noise with a variance factor
// near 1 (coordinates alone cannot show a unit error of the weights; the factor does).

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "reading/read_reports.h"
#include "tests/run/program_runner.h"
#include "tools/synthetic_network.h"

namespace velk {
namespace {

using testing::readFile;
using testing::ScratchFolder;

// --- A tiny reader of the two documents as we write them ------------------------------

// The texts between <tag ...> (or <tag>) and </tag>, in order.
std::vector<std::string> elementTexts(const std::string& xml, const std::string& tag) {
  std::vector<std::string> texts;
  for (std::size_t at = xml.find("<" + tag); at != std::string::npos;
       at = xml.find("<" + tag, at + 1)) {
    const char next = xml[at + 1 + tag.size()];
    if (next != '>' && next != ' ') continue;
    const std::size_t begin = xml.find('>', at) + 1;
    texts.push_back(xml.substr(begin, xml.find("</" + tag + ">", begin) - begin));
  }
  return texts;
}

std::string elementText(const std::string& xml, const std::string& tag) {
  const std::vector<std::string> texts = elementTexts(xml, tag);
  EXPECT_EQ(texts.size(), 1u) << tag;
  return texts.empty() ? std::string() : texts.front();
}

// The start tags <tag .../> of an empty element, whole.
std::vector<std::string> emptyTags(const std::string& xml, const std::string& tag) {
  std::vector<std::string> tags;
  for (std::size_t at = xml.find("<" + tag + " "); at != std::string::npos;
       at = xml.find("<" + tag + " ", at + 1))
    tags.push_back(xml.substr(at, xml.find("/>", at) + 2 - at));
  return tags;
}

std::string attribute(const std::string& tag, const std::string& name) {
  const std::size_t at = tag.find(" " + name + "=\"");
  if (at == std::string::npos) return {};
  const std::size_t begin = at + name.size() + 3;
  return tag.substr(begin, tag.find('"', begin) - begin);
}

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string word; in >> word;) result.push_back(word);
  return result;
}

// --- The adjustment ---------------------------------------------------------------------

struct Observation {
  std::string from, to;
  double vector[3];
  double cov[6];  // m², xx xy xz yy yz zz
};

struct Adjustment {
  std::map<std::string, Cartesian> coordinates;
  std::map<std::string, Cartesian> sigmas;  // a priori (unit variance) standard deviations
  double variance_factor = 0;
};

// Dense Cholesky of a symmetric positive definite n×n matrix (row-major), in place.
void choleskyInPlace(std::vector<double>& a, std::size_t n) {
  for (std::size_t j = 0; j < n; ++j) {
    for (std::size_t k = 0; k < j; ++k) a[j * n + j] -= a[j * n + k] * a[j * n + k];
    ASSERT_GT(a[j * n + j], 0) << "singular normal equations";
    a[j * n + j] = std::sqrt(a[j * n + j]);
    for (std::size_t i = j + 1; i < n; ++i) {
      for (std::size_t k = 0; k < j; ++k) a[i * n + j] -= a[i * n + k] * a[j * n + k];
      a[i * n + j] /= a[j * n + j];
    }
  }
}

std::vector<double> choleskySolved(const std::vector<double>& l, std::size_t n,
                                   std::vector<double> b) {
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t k = 0; k < i; ++k) b[i] -= l[i * n + k] * b[k];
    b[i] /= l[i * n + i];
  }
  for (std::size_t i = n; i-- > 0;) {
    for (std::size_t k = i + 1; k < n; ++k) b[i] -= l[k * n + i] * b[k];
    b[i] /= l[i * n + i];
  }
  return b;
}

// The 3×3 weight matrix, row-major: the inverse of the covariance (cofactors over the
// determinant; the matrix is symmetric).
std::array<double, 9> weightOf(const double c[6]) {
  const double xx = c[0], xy = c[1], xz = c[2], yy = c[3], yz = c[4], zz = c[5];
  const double c00 = yy * zz - yz * yz, c01 = xz * yz - xy * zz, c02 = xy * yz - xz * yy;
  const double c11 = xx * zz - xz * xz, c12 = xy * xz - xx * yz, c22 = xx * yy - xy * xy;
  const double det = xx * c00 + xy * c01 + xz * c02;
  return {c00 / det, c01 / det, c02 / det, c01 / det, c11 / det,
          c12 / det, c02 / det, c12 / det, c22 / det};
}

// Least squares over the 3×3 blocks of the vectors; unknowns are the free stations'
// coordinates counted from the first held one (so that the numbers stay small).
Adjustment adjust(const std::map<std::string, Cartesian>& held,
                  const std::vector<std::string>& free, const std::vector<Observation>& obs) {
  const Cartesian origin = held.begin()->second;
  std::map<std::string, std::size_t> index;
  for (std::size_t i = 0; i < free.size(); ++i) index[free[i]] = i;
  const std::size_t n = 3 * free.size();
  std::vector<double> normal(n * n, 0), rhs(n, 0);
  auto known = [&](const std::string& name, int axis) {
    const Cartesian& p = held.at(name);
    const double v[3] = {p.x - origin.x, p.y - origin.y, p.z - origin.z};
    return v[axis];
  };
  for (const Observation& o : obs) {
    const std::array<double, 9> w = weightOf(o.cov);
    // o.vector = u(to) - u(from): the held ends go to the right-hand side.
    double l[3];
    for (int a = 0; a < 3; ++a)
      l[a] = o.vector[a] - (index.count(o.to) ? 0 : known(o.to, a)) +
             (index.count(o.from) ? 0 : known(o.from, a));
    const std::pair<const std::string*, double> ends[2] = {{&o.from, -1.0}, {&o.to, 1.0}};
    for (const auto& [row_name, row_sign] : ends) {
      if (!index.count(*row_name)) continue;
      const std::size_t r = 3 * index[*row_name];
      for (int a = 0; a < 3; ++a)
        for (int b = 0; b < 3; ++b) rhs[r + a] += row_sign * w[a * 3 + b] * l[b];
      for (const auto& [col_name, col_sign] : ends) {
        if (!index.count(*col_name)) continue;
        const std::size_t c = 3 * index[*col_name];
        for (int a = 0; a < 3; ++a)
          for (int b = 0; b < 3; ++b)
            normal[(r + a) * n + c + b] += row_sign * col_sign * w[a * 3 + b];
      }
    }
  }
  choleskyInPlace(normal, n);
  const std::vector<double> u = choleskySolved(normal, n, rhs);

  Adjustment result;
  auto coordinate = [&](const std::string& name, int axis) {
    return index.count(name) ? u[3 * index[name] + static_cast<std::size_t>(axis)]
                             : known(name, axis);
  };
  double vpv = 0;
  for (const Observation& o : obs) {
    const std::array<double, 9> w = weightOf(o.cov);
    double v[3];
    for (int a = 0; a < 3; ++a) v[a] = coordinate(o.to, a) - coordinate(o.from, a) - o.vector[a];
    for (int a = 0; a < 3; ++a)
      for (int b = 0; b < 3; ++b) vpv += v[a] * w[a * 3 + b] * v[b];
  }
  result.variance_factor = vpv / static_cast<double>(3 * obs.size() - n);
  for (const std::string& name : free) {
    const std::size_t i = 3 * index[name];
    result.coordinates[name] = {u[i] + origin.x, u[i + 1] + origin.y, u[i + 2] + origin.z};
    double s[3];
    for (std::size_t a = 0; a < 3; ++a) {
      std::vector<double> unit(n, 0);
      unit[i + a] = 1;
      s[a] = std::sqrt(choleskySolved(normal, n, unit)[i + a]);
    }
    result.sigmas[name] = {s[0], s[1], s[2]};
  }
  return result;
}

// --- The two documents as adjustment input ------------------------------------------------

struct Parsed {
  std::map<std::string, Cartesian> held;
  std::vector<std::string> free;
  std::vector<Observation> observations;
  std::vector<std::string> matrix_texts;  // the six element texts of each, in order
};

Cartesian point(const std::string& x, const std::string& y, const std::string& z) {
  return {std::stod(x), std::stod(y), std::stod(z)};
}

Parsed parseDynaml(const std::string& stations, const std::string& measurements) {
  Parsed parsed;
  for (const std::string& station : elementTexts(stations, "DnaStation")) {
    const std::string name = elementTexts(station, "Name").front();
    if (elementText(station, "Constraints") == "CCC") {
      parsed.held[name] = point(elementText(station, "XAxis"), elementText(station, "YAxis"),
                                elementText(station, "Height"));
    } else {
      parsed.free.push_back(name);
    }
  }
  for (const std::string& m : elementTexts(measurements, "DnaMeasurement")) {
    Observation o{elementText(m, "First"), elementText(m, "Second"), {}, {}};
    const double vscale = std::stod(elementText(m, "Vscale"));
    int i = 0;
    for (const char* tag : {"X", "Y", "Z"}) o.vector[i++] = std::stod(elementText(m, tag));
    i = 0;
    for (const char* tag : {"SigmaXX", "SigmaXY", "SigmaXZ", "SigmaYY", "SigmaYZ", "SigmaZZ"}) {
      parsed.matrix_texts.push_back(elementText(m, tag));
      o.cov[i++] = std::stod(parsed.matrix_texts.back()) * vscale;
    }
    parsed.observations.push_back(o);
  }
  return parsed;
}

Parsed parseGama(const std::string& document) {
  Parsed parsed;
  for (const std::string& tag : emptyTags(document, "point")) {
    if (attribute(tag, "fix") == "xyz") {
      parsed.held[attribute(tag, "id")] =
          point(attribute(tag, "x"), attribute(tag, "y"), attribute(tag, "z"));
    } else {
      EXPECT_EQ(attribute(tag, "adj"), "xyz");
      parsed.free.push_back(attribute(tag, "id"));
    }
  }
  for (const std::string& vectors : elementTexts(document, "vectors")) {
    const std::string vec = emptyTags(vectors, "vec").front();
    Observation o{attribute(vec, "from"), attribute(vec, "to"), {}, {}};
    int i = 0;
    for (const char* name : {"dx", "dy", "dz"}) o.vector[i++] = std::stod(attribute(vec, name));
    const std::vector<std::string> elements = words(elementText(vectors, "cov-mat"));
    EXPECT_EQ(elements.size(), 6u);
    for (std::size_t k = 0; k < 6 && k < elements.size(); ++k) {
      parsed.matrix_texts.push_back(elements[k]);
      o.cov[k] = std::stod(elements[k]) / 1e6;  // mm² to m²
    }
    parsed.observations.push_back(o);
  }
  return parsed;
}

std::string dayText(const Report& report) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d.%02d.%04d", report.start_date.day,
                report.start_date.month, report.start_date.year);
  return text;
}

// --- The round trip -----------------------------------------------------------------------

class ExportRoundTrip : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder_ = new ScratchFolder("export-round-trip");
    campaign::NetworkOptions options;
    options.stations = 20;
    options.seed = 11;
    std::vector<campaign::Measurement> measurements =
        campaign::measureEach(campaign::trianglesPairs(20), 2);
    measurements.resize(60);
    options.measurements = campaign::inSessionsOf(measurements, 3);
    options.correlation_rows = true;
    network_ = new campaign::Network(campaign::generateNetwork(options));
    const campaign::NetworkFiles files = campaign::writeNetwork(options, folder_->path());
    reports_ = new std::vector<Report>;
    for (const std::filesystem::path& path : files.reports) {
      std::ifstream in(path, std::ios::binary);
      read_reports(in, path.string(), *reports_, [](std::string_view) {});
    }
  }
  static void TearDownTestSuite() {
    delete reports_;
    delete network_;
    delete folder_;
  }

  static std::string exported(const std::vector<std::string>& arguments,
                              const std::string& file) {
    std::vector<std::string> all{"export"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    all.insert(all.end(), {"--force", "--list", "NETWORK.LST"});
    const testing::ProgramRun run = folder_->run("baselines", "", all);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");  // every report fixed and complete: no notice
    return readFile(*folder_ / file);
  }

  static Parsed exportedDynaml(const std::vector<std::string>& options) {
    std::vector<std::string> arguments{"dynaml", "-o", "NET"};
    arguments.insert(arguments.end(), options.begin(), options.end());
    const std::string stations = exported(arguments, "NET.stn.xml");
    return parseDynaml(stations, readFile(*folder_ / "NET.msr.xml"));
  }

  // The adjusted coordinates within 4 sigmas of the truth, the factor near `expected`.
  static void expectTruthRecovered(const Parsed& parsed, double expected_factor) {
    const Adjustment adjustment = adjust(parsed.held, parsed.free, parsed.observations);
    ASSERT_EQ(adjustment.coordinates.size(), 19u);
    for (const auto& [name, p] : adjustment.coordinates) {
      const Cartesian& truth = network_->truth.at(name);
      const Cartesian& s = adjustment.sigmas.at(name);
      EXPECT_LT(std::abs(p.x - truth.x), 4 * s.x) << name;
      EXPECT_LT(std::abs(p.y - truth.y), 4 * s.y) << name;
      EXPECT_LT(std::abs(p.z - truth.z), 4 * s.z) << name;
    }
    // 180 observations, 57 unknowns: the factor's own sigma is about sqrt(2/123) = 0.13.
    EXPECT_NEAR(adjustment.variance_factor, expected_factor, 0.4 * expected_factor);
    last_factor_ = adjustment.variance_factor;
  }

  static ScratchFolder* folder_;
  static campaign::Network* network_;
  static std::vector<Report>* reports_;
  static double last_factor_;
};

ScratchFolder* ExportRoundTrip::folder_ = nullptr;
campaign::Network* ExportRoundTrip::network_ = nullptr;
std::vector<Report>* ExportRoundTrip::reports_ = nullptr;
double ExportRoundTrip::last_factor_ = 0;

TEST_F(ExportRoundTrip, BothFormatsCarryEveryReportsOwnNumbersAndAdjustToTheTruth) {
  ASSERT_EQ(reports_->size(), 60u);
  const Parsed dynaml = exportedDynaml({});
  const Parsed gama = parseGama(exported({"gama", "-o", "NET.xml"}, "NET.xml"));
  ASSERT_EQ(dynaml.observations.size(), 60u);
  ASSERT_EQ(gama.observations.size(), 60u);
  const std::string msr = readFile(*folder_ / "NET.msr.xml");
  const std::vector<std::string> sources = elementTexts(msr, "Source");
  const std::vector<std::string> epochs = elementTexts(msr, "Epoch");
  for (std::size_t i = 0; i < 60; ++i) {
    const Report& report = (*reports_)[i];
    EXPECT_EQ(sources[i], report.file);
    EXPECT_EQ(epochs[i], dayText(report));
    // The report's own matrix, computed here from its sigmas and correlation rows.
    const double s[3] = {report.sigma_x, report.sigma_y, report.sigma_z};
    const double expected[6] = {s[0] * s[0],  report.r_xy * s[0] * s[1],
                                report.r_xz * s[0] * s[2], s[1] * s[1],
                                report.r_yz * s[1] * s[2], s[2] * s[2]};
    for (const Parsed* parsed : {&dynaml, &gama}) {
      const Observation& o = parsed->observations[i];
      EXPECT_EQ(o.from, report.fixed_station);
      EXPECT_EQ(o.to, report.unknown_station);
      EXPECT_EQ(o.vector[0], report.vector.x);
      EXPECT_EQ(o.vector[2], report.vector.z);
      for (int k = 0; k < 6; ++k)
        EXPECT_NEAR(o.cov[k], expected[k], 1e-13 * std::abs(expected[k])) << report.file;
    }
    // Gama's mm²: the DynaML digits, the exponent 6 higher.
    for (std::size_t k = 0; k < 6; ++k) {
      const std::string& m2 = dynaml.matrix_texts[6 * i + k];
      const std::string& mm2 = gama.matrix_texts[6 * i + k];
      EXPECT_EQ(mm2.substr(0, mm2.find('e')), m2.substr(0, m2.find('e')));
      if (std::stod(m2) != 0) {
        EXPECT_EQ(std::stoi(mm2.substr(mm2.find('e') + 1)),
                  std::stoi(m2.substr(m2.find('e') + 1)) + 6);
      }
    }
  }
  ASSERT_EQ(dynaml.held.size(), 1u);
  ASSERT_EQ(gama.held.size(), 1u);
  EXPECT_EQ(dynaml.held.begin()->first, gama.held.begin()->first);
  EXPECT_EQ(dynaml.held.begin()->second.x, gama.held.begin()->second.x);
  expectTruthRecovered(dynaml, 1);
  const double dynaml_factor = last_factor_;
  expectTruthRecovered(gama, 1);
  EXPECT_NEAR(last_factor_, dynaml_factor, 1e-9);
}

TEST_F(ExportRoundTrip, TheVarianceFactorScalesTheWeightsOfBothFormats) {
  const Parsed plain = parseGama(exported({"gama", "-o", "NET.xml"}, "NET.xml"));
  const double plain_factor = adjust(plain.held, plain.free, plain.observations).variance_factor;
  expectTruthRecovered(parseGama(exported({"gama", "-o", "NET.xml", "--variance-factor", "4"},
                                          "NET.xml")), 0.25);
  EXPECT_NEAR(last_factor_, plain_factor / 4, 1e-9);
  expectTruthRecovered(exportedDynaml({"--variance-factor", "4"}), 0.25);
  EXPECT_NEAR(last_factor_, plain_factor / 4, 1e-9);
}

}  // namespace
}  // namespace velk
