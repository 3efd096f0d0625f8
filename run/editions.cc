// The two editions, side by side. Everything in which quelmar and novrale differ is here;
// the subsystems ask the edition rather than test which program they run in.
//
// The letter e-acute of the titles is the byte 0x82 (DOS code pages 437 and 850); the
// literal is split after it so that the following letters are not read as hex digits.

#include "run/edition.h"

namespace velk {
namespace {

// The solution kinds; their length is the declared length of solution_kind, which the
// reader and the writers must agree on.
constexpr std::string_view kQuelmarFloat = " Fl.", kQuelmarFixed = " Fx.";
constexpr std::string_view kNovraleFloat = "Fl", kNovraleFixed = "Fx";
constexpr int kQuelmarKindWidth = static_cast<int>(kQuelmarFloat.size());
constexpr int kNovraleKindWidth = static_cast<int>(kNovraleFloat.size());

constexpr std::array<std::string_view, 7> kTitles{
    "Donnees de rattachement topocentriques: ",
    "Coord. approch\x82"
    "es : ",
    "Donn\x82"
    "es VECTEURS  : ",
    "Donn\x82"
    "es VECTEUR + Matrice CV : ",
    "Stations, vecteurs, distances : ",
    "fichier log --> gps en continu ENU :",
    "fichier log --> gps en continu XYZ :",
};

const ReadingEdition& quelmarReading() {
  static const ReadingEdition edition{
      .solution_kind_width = kQuelmarKindWidth,
      .float_kind = kQuelmarFloat,
      .fixed_kind = kQuelmarFixed,
      .dates_as_year = false,
      .ratio_line = o_file::kRatioEqualsLine,
      .ratio_echo = false,
      .vector_echo = RecordLayout("(I3,1X,A4,1X,A4,1X,3(1X,F12.4),2X,A4)"),
      .sigma_echo = RecordLayout("(14X,3(1X,F12.4))"),
      .mark_echo = RecordLayout("(I3,1X,A4,1X,3(1X,F12.4))"),
  };
  return edition;
}

const ReadingEdition& novraleReading() {
  static const ReadingEdition edition{
      .solution_kind_width = kNovraleKindWidth,
      .float_kind = kNovraleFloat,
      .fixed_kind = kNovraleFixed,
      .dates_as_year = true,
      .ratio_line = o_file::kIntegerRatioLine,
      .ratio_echo = true,
      .vector_echo = RecordLayout("(I3,1X,A4,1X,A4,1X,3(1X,F12.3),2X,A4)"),
      .sigma_echo = RecordLayout("(14X,3(1X,F12.3))"),
      .mark_echo = RecordLayout("(I3,1X,A4,1X,3(1X,F12.3))"),
  };
  return edition;
}

const WritingEdition& quelmarWriting() {
  // The LOG (E, N, U) of type 5 is also the last section of type 4.
  constexpr LogVariant kLogEastNorthUp{.components = LogComponents::AsReported,
                                       .console_header = LogConsoleHeader::None,
                                       .tag = "",
                                       .station_is_principal_point = false,
                                       .warns_foreign_origin = false};
  constexpr LogVariant kLogGeocentric{.components = LogComponents::Geocentric,
                                      .console_header = LogConsoleHeader::None,
                                      .tag = "",
                                      .station_is_principal_point = false,
                                      .warns_foreign_origin = false};
  static const WritingEdition edition{
      .solution_kind_width = kQuelmarKindWidth,
      .ratt_data_record = RecordLayout(
          "(1X,A4,2X,A4,1X,3(1X,F9.3),1X,F9.4,1X,F9.3,1X,F7.4,1X,4X,2X,4X,I6,2X,A4,1X,A8)"),
      .ratt_data_station_numbers = false,
      .component_lines =
          [] {
            using enum ComponentValue;
            return std::array<ComponentLine, 3>{{
                {RecordLayout(
                     "(I2,1X,A4,1X,A4,1X,F12.4,1X,F8.4,2X,I2,2X,I2,I6,A6,A6,2X,A4,1X,A12)"),
                 {RecordCode, FixedStation, UnknownStation, Component, Sigma, ZeroInteger,
                  ZeroInteger, DayNumber, StartTime, EndTime, SolutionKind, Name}},
                {RecordLayout("(I2,1X,A4,1X,A4,1X,F12.4,1X,F8.4,2(2X,I2),22X,F6.2,'%')"),
                 {RecordCode, FixedStation, UnknownStation, Component, Sigma, ZeroInteger,
                  ZeroInteger, Ratio}},
                // Given no ratio, the Z line ends after its second zero integer.
                {RecordLayout("(I2,1X,A4,1X,A4,1X,F12.4,1X,F8.4,2(2X,I2),22X,F6.2,'-Chi2')"),
                 {RecordCode, FixedStation, UnknownStation, Component, Sigma, ZeroInteger,
                  ZeroInteger}},
            }};
          }(),
      .log_record = RecordLayout("(F7.3,1X,4(1X,F10.3,F5.3),2X,A4,1X,F6.2,'%',1X,A2)"),
      .log_values =
          [] {
            using enum LogValue;
            return std::vector<LogValue>{MidEpoch,    First,        FirstSigma, Second,
                                         SecondSigma, Third,        ThirdSigma, Length,
                                         Sigma3D,     SolutionKind, Ratio,      FileNameCode};
          }(),
      .max_sigma3D = std::nullopt,
      .log_variants = {kLogEastNorthUp, kLogEastNorthUp, kLogGeocentric},
      .sections =
          [] {
            using enum OutputSection;
            return std::array<std::vector<OutputSection>, 7>{
                {{RattData},
                 {Station},
                 {Vector},
                 {VectorCovariance},
                 {Station, Vector, VectorCovariance, Log},
                 {Log},
                 {Log}}};
          }(),
  };
  return edition;
}

const WritingEdition& novraleWriting() {
  static const WritingEdition edition{
      .solution_kind_width = kNovraleKindWidth,
      .ratt_data_record = RecordLayout(
          "(1X,A4,2X,A4,1X,3(1X,F9.3),1X,F9.4,1X,F9.3,1X,F7.4,1X,I4,2X,I4,I6,2X,A4,1X,A8)"),
      .ratt_data_station_numbers = true,
      .component_lines =
          [] {
            using enum ComponentValue;
            // One layout for the three axes; only the X line is given the name.
            const RecordLayout layout(
                "(I2,2X,A4,2X,A4,1X,F12.4,1X,F8.4,2X,I2,2X,I2,2X,I6,2X,A4,1X,A8)");
            const std::vector<ComponentValue> unnamed{RecordCode,  FixedStation, UnknownStation,
                                                      Component,   Sigma,        ZeroInteger,
                                                      ZeroInteger, DayNumber,    SolutionKind};
            std::vector<ComponentValue> named = unnamed;
            named.push_back(Name);
            return std::array<ComponentLine, 3>{
                {{layout, named}, {layout, unnamed}, {layout, unnamed}}};
          }(),
      .log_record = RecordLayout("(I4,1X,F7.3,4(1X,F10.3,F5.3),1X,A2,1X,I3,1X,A8,1X,A4,1X,A8)"),
      .log_values =
          [] {
            using enum LogValue;
            return std::vector<LogValue>{Year,         MidEpoch,   First,      FirstSigma, Second,
                                         SecondSigma,  Third,      ThirdSigma, Length,     Sigma3D,
                                         SolutionKind, RatioFloor, Tag,        Station,    Name};
          }(),
      .max_sigma3D = 0.5,
      .log_variants = {{{.components = LogComponents::AsReported,
                         .console_header = LogConsoleHeader::None,
                         .tag = "v.gpps /",
                         .station_is_principal_point = false,
                         .warns_foreign_origin = false},
                        {.components = LogComponents::AroundPrincipalPoint,
                         .console_header = LogConsoleHeader::PrincipalPoint,
                         .tag = "v.local/",
                         .station_is_principal_point = true,
                         .warns_foreign_origin = true},
                        {.components = LogComponents::Geocentric,
                         .console_header = LogConsoleHeader::Dash,
                         .tag = "v.geoc /",
                         .station_is_principal_point = true,
                         .warns_foreign_origin = false}}},
      .sections =
          [] {
            using enum OutputSection;
            return std::array<std::vector<OutputSection>, 7>{
                {{RattData}, {Station}, {Vector}, {VectorCovariance}, {Log}, {Log}, {Log}}};
          }(),
  };
  return edition;
}

}  // namespace

const Edition& quelmarEdition() {
  static const Edition edition{
      .program_name = "quelmar",
      .banner = " Programme : quelmar :",
      .menu_lines = {"   - fichier ratt-data(.rat):         0 ",
                     "   - fichier station (.STA):          1 ",
                     "   - fichier vecteur (.VEC):          2 ",
                     "   - fichier vecteur et matrice CV:   3 ",
                     "   - les 3 types :                    4 ",
                     "   - fichier LOG:E,de,N,dn,U,du,D,dd: 5 ",
                     "   - fichier LOG:X,dx,Y,dy,Z,dz,D,dd: 6 "},
      .titles = kTitles,
      .has_file_name_code = true,
      .reading = quelmarReading(),
      .writing = quelmarWriting(),
  };
  return edition;
}

const Edition& novraleEdition() {
  static const Edition edition{
      .program_name = "novrale",
      .banner = " Programme : novrale :",
      .menu_lines = {"   - fichier ratt-data(.rat):         0 ",
                     "   - fichier station (.STA):          1 ",
                     "   - fichier vecteur (.VEC):          2 ",
                     "   - fichier vecteur et matrice CV:   3 ",
                     " - fichier LOG gpps     :    E,de,N,dn,U,du,D,dd: 4 ",
                     " - fichier LOG cartesien:    E,de,N,dn,U,du,D,dd: 5 ",
                     " - fichier LOG geocentrique: X,dx,Y,dy,Z,dz,D,dd: 6 "},
      .titles = {kTitles[0], kTitles[1], kTitles[2], kTitles[3],
                 "fichier LOG gpps:      E,de,N,dn,U,du,D,dd ",
                 "fichier LOG cartesien: E,de,N,dn,U,du,D,dd",
                 "fichier LOG geocentrique:X,dx,Y,dy,Z,dz,D,dd"},
      .has_file_name_code = false,
      .reading = novraleReading(),
      .writing = novraleWriting(),
  };
  return edition;
}

}  // namespace velk
