// The two editions, side by side. Everything in which quelmar and novrale differ is here;
// the subsystems ask the edition rather than test which program they run in.
//
// The letter e-acute of the titles is the byte 0x82 (DOS code pages 437 and 850); the
// literal is split after it so that the following letters are not read as hex digits.

#include "run/edition.h"

namespace velk {
namespace {

constexpr std::array<std::string_view, 7> kTitles{
    "Donnees de rattachement topocentriques: ",
    "Coord. approch\x82" "es : ",
    "Donn\x82" "es VECTEURS  : ",
    "Donn\x82" "es VECTEUR + Matrice CV : ",
    "Stations, vecteurs, distances : ",
    "fichier log --> gps en continu ENU :",
    "fichier log --> gps en continu XYZ :",
};

const ReadingEdition& quelmarReading() {
  static const ReadingEdition edition{
      .solution_kind_width = 4,
      .float_kind = " Fl.",
      .fixed_kind = " Fx.",
      .dates_as_year = false,
      .ratio_keyword_column = 51,
      .ratio_keyword = "Ratio =",
      .ratio_first_column = 60,
      .ratio_last_column = 65,
      .ratio_decimals = 2,
      .ratio_echo = false,
      .vector_echo = RecordLayout("(I3,1X,A4,1X,A4,1X,3(1X,F12.4),2X,A4)"),
      .sigma_echo = RecordLayout("(14X,3(1X,F12.4))"),
      .mark_echo = RecordLayout("(I3,1X,A4,1X,3(1X,F12.4))"),
  };
  return edition;
}

const ReadingEdition& novraleReading() {
  static const ReadingEdition edition{
      .solution_kind_width = 2,
      .float_kind = "Fl",
      .fixed_kind = "Fx",
      .dates_as_year = true,
      .ratio_keyword_column = 36,
      .ratio_keyword = "Integer",
      .ratio_first_column = 59,
      .ratio_last_column = 66,
      .ratio_decimals = 3,
      .ratio_echo = true,
      .vector_echo = RecordLayout("(I3,1X,A4,1X,A4,1X,3(1X,F12.3),2X,A4)"),
      .sigma_echo = RecordLayout("(14X,3(1X,F12.3))"),
      .mark_echo = RecordLayout("(I3,1X,A4,1X,3(1X,F12.3))"),
  };
  return edition;
}

const WritingEdition& quelmarWriting() {
  static const WritingEdition edition{
      .solution_kind_width = 4,
  };
  return edition;
}

const WritingEdition& novraleWriting() {
  static const WritingEdition edition{
      .solution_kind_width = 2,
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
