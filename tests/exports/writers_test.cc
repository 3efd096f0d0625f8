#include <gtest/gtest.h>

#include "export_test_support.h"
#include "exports/dynaml.h"
#include "exports/export_network.h"
#include "exports/gama_local.h"
#include "format/number_text.h"

namespace velk {
namespace {

using testing::completeReport;

// Report AB082101.017 of the example campaign, CAST held.
ExportNetwork exampleNetwork(double variance_factor = 1) {
  Report report = completeReport("AB082101.017", "CAST", "SAUL",
                                 {4344310.2075, 98187.7119, 4653732.3678},
                                 {818.4932, 2908.6837, -532.5114});
  report.fixed_description = "Castel rock";
  return buildExportNetwork({report}, {}, variance_factor);
}

TEST(Dynaml, StationsAndMeasurementsInTheSchemasElementOrder) {
  const ExportNetwork network = exampleNetwork();
  const DynamlHeader header{"ITRF2014", {2017, 3, 23}};
  const std::string root_attributes =
      R"( referenceframe="ITRF2014" epoch="23.03.2017" )"
      R"(xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" )"
      R"(xsi:noNamespaceSchemaLocation="DynaML.xsd">)";
  EXPECT_EQ(dynamlStationFile(network, header),
            "<?xml version=\"1.0\"?>\n"
            "<DnaXmlFormat type=\"Station File\"" + root_attributes + "\n"
            "  <DnaStation>\n"
            "    <Name>CAST</Name>\n"
            "    <Constraints>CCC</Constraints>\n"
            "    <Type>XYZ</Type>\n"
            "    <StationCoord>\n"
            "      <Name>CAST</Name>\n"
            "      <XAxis>4344310.2075</XAxis>\n"
            "      <YAxis>98187.7119</YAxis>\n"
            "      <Height>4653732.3678</Height>\n"
            "    </StationCoord>\n"
            "    <Description>Castel rock</Description>\n"
            "  </DnaStation>\n"
            "  <DnaStation>\n"
            "    <Name>SAUL</Name>\n"
            "    <Constraints>FFF</Constraints>\n"
            "    <Type>XYZ</Type>\n"
            "    <StationCoord>\n"
            "      <Name>SAUL</Name>\n"
            "      <XAxis>4345128.7007</XAxis>\n"
            "      <YAxis>101096.3956</YAxis>\n"
            "      <Height>4653199.8564</Height>\n"
            "    </StationCoord>\n"
            "  </DnaStation>\n"
            "</DnaXmlFormat>\n");
  EXPECT_EQ(dynamlMeasurementFile(network, header),
            "<?xml version=\"1.0\"?>\n"
            "<DnaXmlFormat type=\"Measurement File\"" + root_attributes + "\n"
            "  <DnaMeasurement>\n"
            "    <Type>G</Type>\n"
            "    <Ignore/>\n"
            "    <ReferenceFrame>ITRF2014</ReferenceFrame>\n"
            "    <Epoch>23.03.2017</Epoch>\n"
            "    <First>CAST</First>\n"
            "    <Second>SAUL</Second>\n"
            "    <Vscale>1</Vscale>\n"
            "    <Pscale>1.000</Pscale>\n"
            "    <Lscale>1.000</Lscale>\n"
            "    <Hscale>1.000</Hscale>\n"
            "    <Source>AB082101.017</Source>\n"
            "    <GPSBaseline>\n"
            "      <X>818.4932</X>\n"
            "      <Y>2908.6837</Y>\n"
            "      <Z>-532.5114</Z>\n"
            "      <SigmaXX>1.3994890000000e-06</SigmaXX>\n"
            "      <SigmaXY>1.8241860000000e-08</SigmaXY>\n"
            "      <SigmaXZ>1.0170724200000e-06</SigmaXZ>\n"
            "      <SigmaYY>5.9444100000000e-07</SigmaYY>\n"
            "      <SigmaYZ>1.9213320000000e-08</SigmaYZ>\n"
            "      <SigmaZZ>1.5525160000000e-06</SigmaZZ>\n"
            "    </GPSBaseline>\n"
            "  </DnaMeasurement>\n"
            "</DnaXmlFormat>\n");
  EXPECT_TRUE(isDynamlFrameLabel("WGS84 (G2139)"));
  EXPECT_FALSE(isDynamlFrameLabel("ETRS89"));
}

TEST(GamaLocal, HeldAndFreePointsAndTheCovarianceInSquareMillimetres) {
  EXPECT_EQ(gamaLocalDocument(exampleNetwork()),
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
            "<gama-local xmlns=\"http://www.gnu.org/software/gama/gama-local\">\n"
            "  <network axes-xy=\"ne\" angles=\"left-handed\">\n"
            "    <description>GNSS baselines of 1 report (AB082101.017 to AB082101.017), "
            "observed 23.03.2017 to 23.03.2017, 2 stations, held CAST, variance factor 1; "
            "written by baselines " VELK_VERSION " export gama</description>\n"
            "    <parameters sigma-apr=\"1\" conf-pr=\"0.95\" sigma-act=\"aposteriori\"/>\n"
            "    <points-observations>\n"
            "      <point id=\"CAST\" x=\"4344310.2075\" y=\"98187.7119\" z=\"4653732.3678\" "
            "fix=\"xyz\"/>\n"
            "      <point id=\"SAUL\" adj=\"xyz\"/>\n"
            "      <vectors>\n"
            "        <vec from=\"CAST\" to=\"SAUL\" dx=\"818.4932\" dy=\"2908.6837\" "
            "dz=\"-532.5114\"/>\n"
            "        <cov-mat dim=\"3\" band=\"2\">1.3994890000000e+00 1.8241860000000e-02 "
            "1.0170724200000e+00 5.9444100000000e-01 1.9213320000000e-02 "
            "1.5525160000000e+00</cov-mat>\n"
            "      </vectors>\n"
            "    </points-observations>\n"
            "  </network>\n"
            "</gama-local>\n");
}

TEST(Exports, VarianceFactorScalesDynamlByVscaleAndGamaByItsMatrices) {
  const ExportNetwork network = exampleNetwork(1.1);
  EXPECT_NE(dynamlMeasurementFile(network, {"GDA2020", {2017, 3, 23}})
                .find("<Vscale>1.1</Vscale>"),
            std::string::npos);
  const double xx = 0.001183 * 0.001183 * 1.1;
  EXPECT_NE(gamaLocalDocument(network).find(">" + timesPowerOfTen(exponentText(xx, 13), 6) + " "),
            std::string::npos);
}

TEST(Exports, NamesWithMarkupCharactersAndCodePage850Bytes) {
  Report report = completeReport("\x82t\xE9&.017", "A&B", "<C\x82", {1, 2, 3}, {4, 5, 6});
  const ExportNetwork network = buildExportNetwork({report}, {}, 1);
  const std::string dynaml = dynamlMeasurementFile(network, {});
  EXPECT_NE(dynaml.find("<First>A&amp;B</First>\n    <Second>&lt;C\xC3\xA9</Second>"),
            std::string::npos);
  EXPECT_NE(dynaml.find("<Source>\xC3\xA9t\xC3\x9A&amp;.017</Source>"), std::string::npos);
  EXPECT_NE(dynamlStationFile(network, {}).find("<Name>&lt;C\xC3\xA9</Name>"), std::string::npos);
  const std::string gama = gamaLocalDocument(network);
  EXPECT_NE(gama.find("<vec from=\"A&amp;B\" to=\"&lt;C\xC3\xA9\""), std::string::npos);
  EXPECT_NE(gama.find("(\xC3\xA9t\xC3\x9A&amp;.017 to"), std::string::npos);
}

TEST(TimesPowerOfTen, MovesTheExponentAndKeepsTheDigits) {
  EXPECT_EQ(timesPowerOfTen("1.3994890000000e-06", 6), "1.3994890000000e+00");
  EXPECT_EQ(timesPowerOfTen("-2.5000000000000e-03", 6), "-2.5000000000000e+03");
  EXPECT_EQ(timesPowerOfTen("9.9e+99", 6), "9.9e+105");
  EXPECT_EQ(timesPowerOfTen("0.0000000000000e+00", 6), "0.0000000000000e+00");
}

}  // namespace
}  // namespace velk
