#include "tools/synthetic_campaign.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

#include "tools/synthetic_report.h"

namespace velk::campaign {

namespace {

// ---------------------------------------------------------------------------------------------
// The stations: 5 to 8 named places a few kilometres apart.

struct Place {
  std::string_view name;
  std::string_view description;
};

constexpr std::array<Place, 24> kPlaces{{
    {"BREV", "Brevenne pillar"},    {"MONT", "Montaud church tower"},
    {"CHAU", "Chaumont reservoir"}, {"ROCH", "La Roche bolt"},
    {"PUYD", "Puy de Dome summit"}, {"LANS", "Lans cemetery wall"},
    {"VERC", "Vercors ridge"},      {"COLD", "Col de la Croix"},
    {"SERR", "Serres water tower"}, {"BAUM", "La Baume quarry"},
    {"FORT", "Fort Barraux"},       {"TOUR", "Tourette bridge"},
    {"PIER", "Pierrelatte pillar"}, {"GRAN", "Grand Bois clearing"},
    {"BOIS", "Bois Noir mast"},     {"CROI", "La Croix Haute"},
    {"MOUL", "Moulin Vieux"},       {"PONT", "Pont Royal abutment"},
    {"VILL", "Villard town hall"},  {"SAUL", "Saulce dyke"},
    {"CAST", "Castel rock"},        {"BELV", "Belvedere terrace"},
    {"PRAZ", "Praz meadow bolt"},   {"COMB", "Combe Noire"},
}};

std::vector<Station> makeNetwork(Random& random) {
  const double centreLatitude = random.uniform(43.5, 48.5);
  const double centreLongitude = random.uniform(0.5, 6.5);
  const int count = random.integer(5, 8);

  std::vector<std::size_t> order(kPlaces.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
  for (std::size_t i = order.size() - 1; i > 0; --i) {
    std::swap(order[i], order[static_cast<std::size_t>(random.next() % (i + 1))]);
  }

  std::vector<Station> stations;
  while (static_cast<int>(stations.size()) < count) {
    const double latitude = (centreLatitude + random.uniform(-0.15, 0.15)) * kRadiansPerDegree;
    const double longitude = (centreLongitude + random.uniform(-0.2, 0.2)) * kRadiansPerDegree;
    const double height = random.uniform(20, 900);
    const Vec3 exact = geocentricFromGeographic(latitude, longitude, height);
    bool tooClose = false;
    for (const Station& other : stations) tooClose = tooClose || norm(exact - other.exact) < 2000;
    if (tooClose) continue;
    const Place& place = kPlaces[order[stations.size()]];
    Station station;
    station.name = place.name;
    station.description = place.description;
    station.antenna_height = random.chance(0.4) ? 0.0 : random.uniform(1.2, 1.8);
    station.height = height;
    station.frame = localFrameAt(latitude, longitude);
    station.exact = exact;
    station.mark = roundToTenths(exact);
    stations.push_back(station);
  }
  return stations;
}

// ---------------------------------------------------------------------------------------------
// Reports: in each session one station is held fixed and a baseline is processed to each of
// a few others.

// One solution of the baseline from `fixed` to `unknown`: the true vector disturbed in the
// local frame by `noiseEnu` (metres, one sigma), with sigmas `precision` times the usual.
Solution makeSolution(Random& random, const Station& fixed, const Vec3& vector,
                      const Vec3& noiseEnu, double precision) {
  const Vec3 noise{noiseEnu.x * random.normal(), noiseEnu.y * random.normal(),
                   noiseEnu.z * random.normal()};
  Solution solution;
  solution.mark1 = fixed.mark;
  solution.vector = roundToTenths(vector + toGeocentric(fixed.frame, noise));
  solution.mark2 = solution.mark1 + solution.vector;
  solution.enu = roundToTenths(toLocal(fixed.frame, inMetres(solution.vector)));

  const double kilometres = norm(vector) / 1000;
  const double horizontal = (0.0006 + 0.0004 * kilometres / 10) * precision;
  setPrecision(fixed.frame,
               {horizontal * random.uniform(0.8, 1.2), horizontal * random.uniform(0.8, 1.2),
                horizontal * random.uniform(2.0, 3.0)},
               solution);
  solution.sigma0 = random.uniform(0.7, 1.6);
  return solution;
}

Report makeReport(Random& random, const std::string& prefix, const SessionTime& time, int baseline,
                  const Station& fixed, const Station& unknown) {
  Report report;
  report.name = reportName(prefix, time, baseline);
  report.fixed = &fixed;
  report.unknown = &unknown;
  report.time = time;
  report.correlation_rows = random.chance(0.5);

  setObservationCounts(random, report);

  const Vec3 trueVector = unknown.exact - fixed.exact;
  const bool ambiguitiesFixed = random.chance(0.85);
  if (ambiguitiesFixed) {
    Solution fixedSolution = makeSolution(random, fixed, trueVector, {0.0015, 0.0015, 0.003}, 1);
    report.float_solution = makeSolution(random, fixed, inMetres(fixedSolution.vector),
                                         {0.02, 0.02, 0.04}, random.uniform(4, 10));
    report.fixed_solution = fixedSolution;
    report.ratio = random.uniform(2.5, 45);
    report.ambiguities = random.integer(6, 11);
  } else {
    report.float_solution =
        makeSolution(random, fixed, trueVector, {0.03, 0.03, 0.06}, random.uniform(6, 15));
  }
  return report;
}

}  // namespace

void generateCampaign(const CampaignOptions& options,
                      const std::function<void(const GeneratedReport&)>& sink) {
  Random random(options.seed);
  const std::vector<Station> stations = makeNetwork(random);
  Calendar calendar(random);
  const auto stationCount = static_cast<int>(stations.size());

  int produced = 0;
  while (produced < options.reports) {
    for (const SessionTime& time : calendar.nextDay()) {
      const int fixedIndex = random.integer(0, stationCount - 1);
      const int rovers = random.integer(2, std::min(4, stationCount - 1));
      // The rovers are the stations that follow the fixed one, round the network.
      for (int offset = 1; offset <= rovers && produced < options.reports; ++offset) {
        const Station& fixed = stations[static_cast<std::size_t>(fixedIndex)];
        const Station& unknown =
            stations[static_cast<std::size_t>((fixedIndex + offset) % stationCount)];
        const Report report = makeReport(random, options.prefix, time, offset, fixed, unknown);
        sink({report.name, reportText(report, options.line_ends, options.ratio_lines)});
        ++produced;
      }
    }
  }
}

std::string listFileText(const std::vector<std::string>& names, LineEnds line_ends) {
  const std::string end = line_ends == LineEnds::kDos ? "\r\n" : "\n";
  std::string text;
  for (const std::string& name : names) text += name + end;
  return text;
}

}  // namespace velk::campaign
