// The operator dialog and the list loop, driven through the real programs.

#include <gtest/gtest.h>

#include "tests/run/program_runner.h"

namespace velk {
namespace {

using testing::ProgramRun;
using testing::readFile;
using testing::ScratchFolder;
using testing::writeFile;

const std::string kNovraleMenu =
    " Programme : novrale :\n -----------------------\n Type de sortie : \n"
    "   - fichier ratt-data(.rat):         0 \n   - fichier station (.STA):          1 \n"
    "   - fichier vecteur (.VEC):          2 \n   - fichier vecteur et matrice CV:   3 \n"
    " - fichier LOG gpps     :    E,de,N,dn,U,du,D,dd: 4 \n"
    " - fichier LOG cartesien:    E,de,N,dn,U,du,D,dd: 5 \n"
    " - fichier LOG geocentrique: X,dx,Y,dy,Z,dz,D,dd: 6 \n";
const std::string kOutputPrompt = " Nom du fichier sortie (format VELK) :";
const std::string kListPrompt = " Nom du fichier contenant la liste des fichiers O : ";
const std::string kEnd = "\n -- FIN --\nStop - Program terminated.\n";
const std::string kBlankNameQuestion =
    "\nFile name missing or blank - please enter file name\nUNIT ";

class Dialog : public ::testing::Test {
 protected:
  Dialog() : folder_(::testing::UnitTest::GetInstance()->current_test_info()->name()) {
    writeFile(folder_ / "EMPTY.LST", "");
  }
  ScratchFolder folder_;
};

TEST_F(Dialog, NovraleRunsTheWholeDialogOverAnEmptyList) {
  const ProgramRun run = folder_.run("novrale", "0\nOUT.RAT\nEMPTY.LST\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, kNovraleMenu + kOutputPrompt +
                         "\nUT.RAT      -  Donnees de rattachement topocentriques: \n" +
                         kListPrompt + "\nMPTY.LST   " + kEnd);
  EXPECT_EQ(run.err, "");
  EXPECT_TRUE(std::filesystem::exists(folder_ / "OUT.RAT"));
}

TEST_F(Dialog, QuelmarShowsItsOwnMenuAndTitles) {
  const ProgramRun run = folder_.run("quelmar", "1\nOUT.STA\nEMPTY.LST\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.substr(0, 22), " Programme : quelmar :");
  EXPECT_NE(run.out.find("\n   - les 3 types :                    4 \n"), std::string::npos);
  EXPECT_NE(run.out.find("\n   - fichier LOG:X,dx,Y,dy,Z,dz,D,dd: 6 \n"), std::string::npos);
  // The title is cut or padded to 40 characters; e-acute is the byte 0x82.
  const std::string title =
      "Coord. approch\x82"
      "es : " +
      std::string(20, ' ');
  EXPECT_NE(run.out.find("\nUT.STA      -  " + title + "\n"), std::string::npos);
}

TEST_F(Dialog, TitlesAreCutAt40CharactersOrLeftAsZeroBytes) {
  ProgramRun run = folder_.run("novrale", "5\nOUT.LOG\nEMPTY.LST\n");
  EXPECT_NE(run.out.find("\nUT.LOG      -  fichier LOG cartesien: E,de,N,dn,U,du,D,\n"),
            std::string::npos);
  run = folder_.run("novrale", "7\nOUT.SEV\nEMPTY.LST\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\nUT.SEV      -  " + std::string(40, '\0') + "\n"), std::string::npos);
}

TEST_F(Dialog, TheTypeAnswerIsTheFirstIntegerTokenOfTheFirstNonBlankLine) {
  ProgramRun run = folder_.run("novrale", "\n   \n  -3, 7\nA.RAT\nEMPTY.LST\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\n.RAT        -  " + std::string(40, '\0')), std::string::npos);
  run = folder_.run("novrale", "+4 extra\nB.LOG\nEMPTY.LST\n");
  EXPECT_NE(run.out.find("fichier LOG gpps:      E,de,N,dn,U,du,D,"), std::string::npos);

  for (const char* bad : {"abc\n", "2x\n", "99999999999\n", "+-2\n", "-\n", "\t2\n", "1.5\n"}) {
    run = folder_.run("quelmar", std::string(bad) + "C.RAT\nEMPTY.LST\n");
    EXPECT_EQ(run.status, 1) << bad;
    EXPECT_EQ(run.err.rfind("quelmar: ", 0), 0u) << run.err;
    EXPECT_EQ(run.out.back(), '\n');
    EXPECT_FALSE(std::filesystem::exists(folder_ / "C.RAT")) << bad;
  }
}

TEST_F(Dialog, AnExistingOutputFileIsNeverTouchedAndThePromptRepeats) {
  writeFile(folder_ / "OLD.RAT", "precious");
  const ProgramRun run = folder_.run("novrale", "0\nOLD.RAT\nNEW.RAT\nEMPTY.LST\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(readFile(folder_ / "OLD.RAT"), "precious");
  EXPECT_NE(run.out.find(kOutputPrompt +
                         "\n -> Attention : creation impossible (fichier existant ?) : OLD.RAT\n" +
                         kOutputPrompt + "\nEW.RAT"),
            std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "NEW.RAT"));
}

TEST_F(Dialog, NamesAreCutAfterTwelveCharacters) {
  writeFile(folder_ / "LISTE.LST", "ABSENT0.001 and a comment\n");
  const ProgramRun run = folder_.run("novrale", "0\nABCDEFGHIJKLMNO\nLISTE.LSTXYZW\nLISTE.LST\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "ABCDEFGHIJKL"));
  // The list name LISTE.LSTXYZ does not exist: notice and a second prompt.
  EXPECT_NE(
      run.out.find("\nISTE.LSTXYZ\n -> Attention : fichier liste introuvable : LISTE.LSTXYZ\n" +
                   kListPrompt),
      std::string::npos);
  // The list line is cut to its 12th character, a blank here.
  EXPECT_NE(
      run.out.find("\nBSENT0.001 \n -> Attention : fichier O introuvable, ignore : ABSENT0.001\n"),
      std::string::npos);
}

TEST_F(Dialog, MissingOFilesAndDirectoriesAreSkippedWithANotice) {
  std::filesystem::create_directory(folder_ / "ADIR");
  writeFile(folder_ / "GOOD.001", "nothing of interest\n");
  writeFile(folder_ / "LISTE.LST", "GOOD.001\r\nMISSING.002\nADIR\nGOOD.001");
  const ProgramRun run = folder_.run("quelmar", "0\nOUT.RAT\nLISTE.LST\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("\nOOD.001    \nISSING.002 \n"
                         " -> Attention : fichier O introuvable, ignore : MISSING.002\n"
                         "DIR        \n -> Attention : fichier O introuvable, ignore : ADIR\n"
                         "OOD.001    " +
                         kEnd),
            std::string::npos)
      << run.out;
}

TEST_F(Dialog, BlankNamesTakeTheArgumentsThenAskOnTheConsole) {
  writeFile(folder_ / "LISTE.LST", "\n");  // a blank list line asks for an O-file name
  writeFile(folder_ / "R1.001", "");
  const ProgramRun run = folder_.run("novrale", "0\n\n\n   \nR1.001\n", {"OUT.VEC  ", "LISTE.LST"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(std::filesystem::exists(folder_ / "OUT.VEC"));
  // The held names stay blank; the O-file name is asked for twice (blank answer first).
  EXPECT_NE(run.out.find(kOutputPrompt + "\n            -  Donnees"), std::string::npos);
  EXPECT_NE(run.out.find(kListPrompt + "\n           \n           " + kBlankNameQuestion + "2? " +
                         kBlankNameQuestion + "2? " + kEnd),
            std::string::npos)
      << run.out;
}

TEST_F(Dialog, ABlankArgumentIsStillUsed) {
  const ProgramRun run = folder_.run("novrale", "0\n\nX.RAT\nEMPTY.LST\n", {" "});
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("creation impossible (fichier existant ?) : \n"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(folder_ / "X.RAT"));
}

TEST_F(Dialog, StandardInputClosedAtAnyPromptIsAFatalErrorThatLeavesNoFile) {
  writeFile(folder_ / "LISTE.LST", "\n");
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"", {}},                             // at the type question
      {"0\n", {}},                          // at the output name
      {"0\nOUT.RAT\n", {}},                 // at the list name
      {"0\nOUT.RAT\nNOLIST\n", {}},         // at the list name, after a notice
      {"0\n\n", {}},                        // at the blank-name question for unit 5
      {"0\nOUT.RAT\nLISTE.LST\n", {}},      // at the blank-name question for unit 2
      {"0\nOUT.RAT\nLISTE.LST\n  \n", {}},  // the same after a blank answer
  };
  for (const auto& [answers, arguments] : cases) {
    const ProgramRun run = folder_.run("novrale", answers, arguments);
    EXPECT_EQ(run.status, 1) << answers;
    EXPECT_EQ(run.err.rfind("novrale: standard input ended", 0), 0u) << run.err;
    EXPECT_EQ(run.out.back(), '\n');
    EXPECT_FALSE(std::filesystem::exists(folder_ / "OUT.RAT")) << answers;
  }
}

TEST_F(Dialog, HelpAndVersionAnswerBeforeAnything) {
  ProgramRun run = folder_.run("quelmar", "", {"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("Usage: quelmar", 0), 0u);
  run = folder_.run("novrale", "", {"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("novrale ", 0), 0u);
}

}  // namespace
}  // namespace velk
