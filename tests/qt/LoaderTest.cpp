// The module's loader of the dialogs' Qt windows, in a program that links no Qt: it finds the
// plug-in beside its own file, opens it, and names the file in every failure.
#include "permutor/dialogs/DialogViewsLoader.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>

using namespace permutor::dialogs;

TEST(DialogViewsLoader, OpensThePluginAndNamesTheFileWhenItCannot) {
    // Here the loader's code is in this test program, so the plug-in is looked for beside it.
    const std::filesystem::path expected =
        std::filesystem::canonical("/proc/self/exe").parent_path() / cDialogViewsLibraryName;
    EXPECT_EQ(DialogViewsLibraryPath(), expected.string());

    std::string error;
    EXPECT_EQ(LoadDesktopDialogViews(error), nullptr);
    EXPECT_NE(error.find(expected.string()), std::string::npos) << error;

    // Views a host installed are answered without looking for a library, until withdrawn.
    struct TNoViews : IDialogViews {
        bool ShowComponentList(IComponentListState&) override { return false; }
        bool ShowComponentSwap(IComponentSwapState&) override { return false; }
    } installed;
    DialogViews_Install(&installed);
    EXPECT_EQ(LoadDesktopDialogViews(error), &installed);
    EXPECT_TRUE(error.empty()) << error;
    DialogViews_Install(nullptr);
    EXPECT_EQ(LoadDesktopDialogViews(error), nullptr);
    EXPECT_FALSE(error.empty());

    const std::string missing = "/nonexistent/" + std::string(cDialogViewsLibraryName);
    EXPECT_EQ(LoadDialogViewsFrom(missing, error), nullptr);
    EXPECT_NE(error.find("Cannot load the dialog windows from " + missing), std::string::npos) << error;

    // A library without the entry point: the module itself.
    const std::string module = PERMUTOR_MODULE_PATH;
    EXPECT_EQ(LoadDialogViewsFrom(module, error), nullptr);
    EXPECT_NE(error.find(module), std::string::npos) << error;
    EXPECT_NE(error.find("permutor_CreateDialogViews"), std::string::npos) << error;

    // The plug-in itself (it makes its own application object, here on no display): the views
    // come back, the same ones every time, and the plug-in
    // brought Qt with it (this program has none of its own).
    EXPECT_EQ(dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NOLOAD), nullptr);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    IDialogViews* views = LoadDialogViewsFrom(PERMUTOR_DIALOGS_QT_PATH, error);
    ASSERT_NE(views, nullptr) << error;
    EXPECT_TRUE(error.empty()) << error;
    EXPECT_EQ(LoadDialogViewsFrom(PERMUTOR_DIALOGS_QT_PATH, error), views);
    EXPECT_NE(dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NOLOAD), nullptr);
}
