// The desktop window driven as a user drives it, offscreen: a copy of the example project, answers
// to the boxes from inside their own event loops, and pad clicks queued for the picks to come (a
// pick with nothing queued is cancelled with Escape).
#pragma once

#include "pcbhost/gui/MainWindow.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>

namespace pcbhost::gui::test {

namespace fs = std::filesystem;

// No test here clicks more often than this.
inline constexpr qsizetype cMostPicks = 20;

class TWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device seed;
        Dir = fs::temp_directory_path() / ("permutor-gui-" + std::to_string(seed()));
        fs::create_directories(Dir);
        fs::copy(fs::path(PERMUTOR_SOURCE_DIR) / "examples" / "demo", Dir, fs::copy_options::recursive);
        Window = std::make_unique<TMainWindow>(PERMUTOR_MODULE_PATH);
        // Answers come from inside the box's own event loop, as a user's click would.
        QObject::connect(
            &Window->UI(), &TDesktopUI::ModalAboutToShow, Window.get(),
            [this](QWidget* dialog) { Answer(dialog); }, Qt::QueuedConnection);
        QObject::connect(
            &Window->UI(), &TDesktopUI::PickRequested, Window.get(),
            [this](const QString& prompt) {
                Prompts.push_back(prompt);
                // A command that asks again after every cancel would never end: stop the run.
                if (Prompts.size() > cMostPicks) {
                    ADD_FAILURE() << "more than " << cMostPicks
                                  << " picks asked for; the last cancel was not seen";
                    std::fflush(stdout);
                    std::_Exit(1);
                }
                if (Picks.empty()) {
                    QTest::keyClick(Window->View(), Qt::Key_Escape);
                    return;
                }
                auto pick = std::move(Picks.front());
                Picks.pop_front();
                pick();
            },
            Qt::QueuedConnection);
        Window->show();
    }
    void TearDown() override {
        if (Window && Window->Document() && Window->Document()->Modified())
            AnswerCaption["Unsaved changes"] = QMessageBox::Discard;
        Window.reset();
        std::error_code ec;
        fs::remove_all(Dir, ec);
    }

    void Answer(QWidget* dialog) {
        auto* box = qobject_cast<QMessageBox*>(dialog);
        if (!box) {
            if (auto* other = qobject_cast<QDialog*>(dialog))
                other->reject();
            return;
        }
        Boxes.push_back(box->windowTitle() + ": " + box->text());
        const auto wanted = AnswerCaption.find(box->windowTitle());
        QAbstractButton* button =
            wanted != AnswerCaption.end() ? box->button(wanted->second) : box->defaultButton();
        if (!button)
            button = box->buttons().front();
        button->click();
    }

    bool Open() { return Window->OpenPath(QString::fromStdString((Dir / "demo.kicad_pro").string())); }

    TPad* Pad(const std::string& reference, const std::string& name) const {
        TPcbComponent* component = Window->Document()->Board()->FindComponent(reference);
        return component ? component->FindPad(name) : nullptr;
    }
    std::string NetOf(const std::string& reference, const std::string& name) const {
        TPad* pad = Pad(reference, name);
        return pad && pad->OwnerNet() ? pad->OwnerNet()->Name() : std::string();
    }
    QPoint PointOf(const std::string& reference, const std::string& name) const {
        TPad* pad = Pad(reference, name);
        EXPECT_NE(pad, nullptr) << reference << "-" << name;
        return pad ? Window->View()->ViewPointOf(pad->X(), pad->Y()) : QPoint();
    }
    // A left click on a pad, queued for the next pick.
    void QueueClick(const std::string& reference, const std::string& name) {
        Picks.push_back([this, reference, name] {
            QTest::mouseClick(Window->View()->viewport(), Qt::LeftButton, {}, PointOf(reference, name));
        });
    }
    // The texts of the message list.
    QStringList MessageTexts() const {
        QStringList texts;
        for (int i = 0; i < Window->MessageList()->topLevelItemCount(); ++i)
            texts << Window->MessageList()->topLevelItem(i)->text(3);
        return texts;
    }
    // Whether the ratsnest on screen is the board's ratsnest now, line for line.
    bool RatsnestShownIsCurrent() const {
        QVector<QLineF> board;
        for (const auto& s : cli::Ratsnest_Segments(*Window->Document()->Board()))
            board.append(QLineF(ToSceneMM(double(s.X1)), ToSceneMM(double(s.Y1)), ToSceneMM(double(s.X2)),
                                ToSceneMM(double(s.Y2))));
        return board == Window->Scene()->RatsnestLines();
    }
    QString Figure(int row, int column) const { return Window->FiguresTable()->item(row, column)->text(); }

    fs::path Dir;
    std::unique_ptr<TMainWindow> Window;
    std::deque<std::function<void()>> Picks;
    QStringList Prompts, Boxes;
    std::map<QString, QMessageBox::StandardButton> AnswerCaption;
};

} // namespace pcbhost::gui::test
