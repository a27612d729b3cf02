// The option texts of the command line: answers, picks, layers and yes/no values.
#include "pcbhost/cli/Options.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace pcbhost::cli;
using namespace permutor::host;

TEST(AnswerOption, SplitsCaptionAndAnswerAtTheLastEquals) {
    TAnswerOption a;
    std::string error;
    ASSERT_TRUE(Answer_Parse("Confirm Swap=no", a, error)) << error;
    EXPECT_EQ(a.Caption, "Confirm Swap");
    EXPECT_FALSE(a.Yes);
    ASSERT_TRUE(Answer_Parse(" Net A=B =YES ", a, error)) << error;
    EXPECT_EQ(a.Caption, "Net A=B");
    EXPECT_TRUE(a.Yes);
}

TEST(AnswerOption, RejectsMissingCaptionOrAnswer) {
    TAnswerOption a;
    std::string error;
    EXPECT_FALSE(Answer_Parse("Confirm", a, error));
    EXPECT_NE(error.find("CAPTION=yes|no"), std::string::npos);
    EXPECT_FALSE(Answer_Parse("=yes", a, error));
    EXPECT_FALSE(Answer_Parse("Confirm=maybe", a, error));
    EXPECT_NE(error.find("yes or no"), std::string::npos);
}

TEST(YesNoValue, AcceptsCommonSpellingsWithoutCase) {
    EXPECT_EQ(YesNo_Parse("YES"), true);
    EXPECT_EQ(YesNo_Parse(" n "), false);
    EXPECT_EQ(YesNo_Parse("True"), true);
    EXPECT_EQ(YesNo_Parse("0"), false);
    EXPECT_FALSE(YesNo_Parse("yess").has_value());
    EXPECT_FALSE(YesNo_Parse("").has_value());
}

TEST(PickOption, ReadsPadReferences) {
    TPickOption p;
    std::string error;
    ASSERT_TRUE(Pick_Parse("U1-3", p, error)) << error;
    EXPECT_EQ(p.Kind, TPickOption::ePad);
    EXPECT_EQ(p.Reference, "U1");
    EXPECT_EQ(p.Pad, "3");
    ASSERT_TRUE(Pick_Parse("J2-A-1", p, error)) << error;
    EXPECT_EQ(p.Text, "J2-A-1"); // the whole text stays for splitting against the board
    EXPECT_FALSE(Pick_Parse("U1", p, error));
    EXPECT_FALSE(Pick_Parse("-3", p, error));
    EXPECT_FALSE(Pick_Parse("U1-", p, error));
}

TEST(PickOption, ReadsPointsInMillimetresWithAnOptionalLayer) {
    TPickOption p;
    std::string error;
    ASSERT_TRUE(Pick_Parse("12.5,-3", p, error)) << error;
    EXPECT_EQ(p.Kind, TPickOption::ePoint);
    EXPECT_DOUBLE_EQ(p.XMM, 12.5);
    EXPECT_DOUBLE_EQ(p.YMM, -3.0);
    EXPECT_EQ(p.Layer, eV6_NoLayer);
    ASSERT_TRUE(Pick_Parse("1, 2, B.Cu", p, error)) << error;
    EXPECT_EQ(p.Layer, eV6_BottomLayer);
    // A minus sign in a coordinate is not a REF-PAD split.
    ASSERT_TRUE(Pick_Parse("-1,-2", p, error)) << error;
    EXPECT_EQ(p.Kind, TPickOption::ePoint);
    EXPECT_FALSE(Pick_Parse("1,2,Silk", p, error));
    EXPECT_NE(error.find("Silk"), std::string::npos);
    EXPECT_FALSE(Pick_Parse("1,x", p, error));
    EXPECT_FALSE(Pick_Parse("1,2,3,4", p, error));
    EXPECT_FALSE(Pick_Parse("1,inf", p, error));
}

TEST(LayerName, MapsKicadCopperNamesToHostLayers) {
    EXPECT_EQ(Layer_Parse("F.Cu"), eV6_TopLayer);
    EXPECT_EQ(Layer_Parse("top"), eV6_TopLayer);
    EXPECT_EQ(Layer_Parse("In1.Cu"), eV6_MidLayer1);
    EXPECT_EQ(Layer_Parse("in30.cu"), eV6_MidLayer30);
    EXPECT_EQ(Layer_Parse("B.Cu"), eV6_BottomLayer);
    EXPECT_EQ(Layer_Parse("17"), TV6_Layer(17));
    EXPECT_EQ(Layer_Parse("In31.Cu"), eV6_NoLayer);
    EXPECT_EQ(Layer_Parse("33"), eV6_NoLayer);
    EXPECT_EQ(Layer_Parse("F.SilkS"), eV6_NoLayer);
}
