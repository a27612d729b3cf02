// KiCad opens the schematic and board that `permutor configure` wrote for the example session.
#include "Oracle.h"

#include "CliTestSupport.h"
#include "DemoScript.h"

namespace oracle = permutor::test::oracle;

TEST(ConfigureKicad, KicadOpensTheWrittenSchematicAndBoard) {
    ORACLE_REQUIRE_KICAD();
    clitest::TTempFolder folder;
    folder.CopyFilesOf(clitest::cExample);
    const auto before = clitest::Snapshot(folder.Path());
    const clitest::TRun r = clitest::Permutor(demoscript::Arguments((folder.Path() / "demo.kicad_pro").string()));
    ASSERT_EQ(r.Code, 0) << r.Out << r.Err;
    const auto after = clitest::Snapshot(folder.Path());
    ASSERT_NE(after.at("demo.kicad_sch"), before.at("demo.kicad_sch"));
    ASSERT_NE(after.at("demo.kicad_pcb"), before.at("demo.kicad_pcb"));
    std::string why;
    EXPECT_TRUE(oracle::SchematicOpens((folder.Path() / "demo.kicad_sch").string(), &why)) << why;
    EXPECT_TRUE(oracle::BoardOpens((folder.Path() / "demo.kicad_pcb").string(), &why)) << why;
}
