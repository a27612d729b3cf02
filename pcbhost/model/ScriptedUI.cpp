#include "pcbhost/model/ScriptedUI.h"

#include <cmath>

namespace pcbhost {

namespace {

TModalResult Fit(TModalResult answer, TQuestionButtons buttons) {
    bool affirmative = answer == eModal_Yes || answer == eModal_OK;
    bool negative = answer == eModal_No || answer == eModal_Cancel;
    if (buttons == eButtons_OKCancel)
        return affirmative ? eModal_OK : negative ? eModal_Cancel : answer;
    return affirmative ? eModal_Yes : negative ? eModal_No : answer;
}

} // namespace

void TScriptedUI::QueuePickMM(double x, double y) {
    QueuePick(TCoord(std::lround(x * cUnitsPerMM)), TCoord(std::lround(y * cUnitsPerMM)));
}

void TScriptedUI::ShowMessage(TMessageBoxKind kind, const std::string& text, const std::string& caption) {
    FBoxes.push_back({kind, text, caption});
}

TModalResult TScriptedUI::AskQuestion(const std::string& text, const std::string& caption,
                                      TQuestionButtons buttons) {
    TModalResult answer = eModal_None;
    for (auto& [c, a] : FCaptionAnswers)
        if (answer == eModal_None && Text_EqualNoCase(c, caption))
            answer = a;
    if (answer == eModal_None && !FAnswers.empty()) {
        answer = FAnswers.front();
        FAnswers.pop_front();
    }
    if (answer == eModal_None)
        answer = FDefaultAffirmative ? eModal_Yes : eModal_No;
    answer = Fit(answer, buttons);
    FQuestions.push_back({text, caption, buttons, answer});
    return answer;
}

bool TScriptedUI::ChooseLocation(const std::string& prompt, std::int32_t& x, std::int32_t& y) {
    FPickPrompts.push_back(prompt);
    FPickCandidate.clear();
    if (FPicks.empty())
        return false;
    x = FPicks.front().At.X;
    y = FPicks.front().At.Y;
    FPickCandidate = FPicks.front().Candidate;
    FPicks.pop_front();
    return true;
}

std::int32_t TScriptedUI::ChooseAmong(const std::string& prompt, const std::vector<std::string>& candidates) {
    std::int32_t answer = -1;
    if (!FPickCandidate.empty()) {
        for (std::size_t i = 0; i < candidates.size() && answer < 0; ++i)
            if (candidates[i].starts_with(FPickCandidate))
                answer = std::int32_t(i);
        if (answer >= 0) {
            FChoiceRecords.push_back({prompt, candidates, answer});
            return answer;
        }
    }
    if (!FChoices.empty()) {
        answer = FChoices.front();
        FChoices.pop_front();
    }
    if (answer >= std::int32_t(candidates.size()))
        answer = -1;
    FChoiceRecords.push_back({prompt, candidates, answer});
    return answer;
}

void TScriptedUI::Cursor_Restore() {
    if (FWaitDepth > 0)
        --FWaitDepth;
}

void TScriptedUI::Status_End() {
    if (FStatusDepth > 0)
        --FStatusDepth;
}

void TScriptedUI::Progress_Begin(const std::string& caption, std::int32_t total) {
    FProgress.push_back({caption, total, 0, false});
}

void TScriptedUI::Progress_Step(std::int32_t steps) {
    if (!FProgress.empty())
        FProgress.back().Steps += steps;
}

void TScriptedUI::Progress_End() {
    if (!FProgress.empty())
        FProgress.back().Ended = true;
}

bool TScriptedUI::AbortKey_Pressed() {
    ++FAbortPolls;
    if (FAbortAfterPolls >= 0 && FAbortAfterPolls-- == 0)
        ++FAbortPresses;
    if (FAbortPresses == 0)
        return false;
    --FAbortPresses;
    return true;
}

} // namespace pcbhost
