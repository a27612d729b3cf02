#include "pcbhost/model/DialogPlayer.h"

#include "permutor/host/Text.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <numeric>

namespace pcbhost {

using namespace permutor::dialogs;
using permutor::host::Text_EqualNoCase;

namespace {

constexpr const char* cListHelp = R"(Commands of the component list (names of components by their designator):
  show                          the table again
  filter on|off                 "Only Show Components with Swap Information"
  open REF                      configure one component (its own commands follow, up to its ok/cancel)
  copy pin|part REF             copy the component's pin- or part-swap information
  paste pin|part REFS|all       paste it into components (REFS: U1,U2 or U1 U2)
  enable pin|part REFS|all      tick "Enable in PCB" (only components with such information)
  disable pin|part REFS|all     clear it
  menu [REF]                    the popup menu and which of its items are available
  ok | cancel                   close the list: ok writes the changes (after a confirmation)
)";

constexpr const char* cSwapHelp =
    R"(Commands of the component editor (pins by designator: A1,A2 or A1 A2, or all):
  show [pins|pairs|parts]       the pins, pairs, or sub-parts with the pins of the chosen ones
  page pins|pairs|parts         the page the commands below show
  filter all|io|assigned        which pins are shown (FPGA components)
  pairmode all|directives|fpga  how the pair page forms its rows
  assign by COLUMN [PINS]       pin groups from a pin column (e.g. bank, type) or "properties"
  group PINS new|ID             put pins into a pin-swap group; new = the next free number
  ungroup PINS                  take pins out of their pin-swap group
  set PIN TEXT                  type a pin group by hand (quotes keep spaces)
  pair PINS new|ID | unpair PINS        pair-swap groups (PINS: the first pin of each row)
  part SUBPARTS new|ID | unpart SUBPARTS part-swap groups of sub-parts (U2A,U2B or all)
  sequence PINS new|ID | unsequence PINS part-sequence numbers of the sub-parts' pins
  import                        swap ids from the FPGA project
  ok | cancel                   close the editor (ok keeps the edits for the list)
)";

std::vector<std::string> SplitWords(const std::string& line) {
    std::vector<std::string> words;
    std::string word;
    bool quoted = false, any = false;
    for (char c : line) {
        if (c == '"') {
            quoted = !quoted;
            any = true;
        } else if (!quoted && (c == ' ' || c == '\t')) {
            if (any)
                words.push_back(word);
            word.clear();
            any = false;
        } else {
            word += c;
            any = true;
        }
    }
    if (any)
        words.push_back(word);
    return words;
}

// The names of a word list from `from` on: "U1,U2 U3" -> U1, U2, U3.
std::vector<std::string> Names(const std::vector<std::string>& words, std::size_t from, std::size_t to) {
    std::vector<std::string> names;
    for (std::size_t i = from; i < to && i < words.size(); ++i) {
        std::size_t start = 0;
        const std::string& w = words[i];
        while (start <= w.size()) {
            std::size_t end = w.find(',', start);
            if (end == std::string::npos)
                end = w.size();
            if (end > start)
                names.push_back(w.substr(start, end - start));
            start = end + 1;
        }
    }
    return names;
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

// Letters and digits only, lower case: "IO Bank #" -> "iobank".
std::string Key(const std::string& s) {
    std::string k;
    for (char c : Lower(s))
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            k += c;
    return k;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const auto& item : items)
        text += (text.empty() ? "" : ", ") + item;
    return text;
}

// Finds a menu item by caption ("&" ignored, any letter case), depth first.
const TMenuItem* FindItem(const std::vector<TMenuItem>& items, const std::string& caption) {
    for (const TMenuItem& item : items) {
        std::string plain = item.Caption;
        std::erase(plain, '&');
        if (!item.Separator && Text_EqualNoCase(plain, caption))
            return &item;
        if (const TMenuItem* found = FindItem(item.Items, caption))
            return found;
    }
    return nullptr;
}

// The records of the rows whose cell in `column` is one of `names` (any letter case); `missing`
// collects the names that match no row. "all" means every row.
std::vector<std::int32_t> RecordsNamed(const std::vector<TDialogRow>& rows, std::int32_t column,
                                       const std::vector<std::string>& names,
                                       std::vector<std::string>& missing) {
    std::vector<std::int32_t> records;
    if (names.size() == 1 && Text_EqualNoCase(names[0], "all")) {
        for (const auto& row : rows)
            records.push_back(row.Record);
        return records;
    }
    for (const std::string& name : names) {
        auto it = std::find_if(rows.begin(), rows.end(), [&](const TDialogRow& row) {
            return std::size_t(column) < row.Cells.size() &&
                   Text_EqualNoCase(row.Cells[std::size_t(column)].Text, name);
        });
        if (it == rows.end())
            missing.push_back(name);
        else if (std::find(records.begin(), records.end(), it->Record) == records.end())
            records.push_back(it->Record);
    }
    return records;
}

std::string CellText(const TDialogColumn& column, const TDialogCell& cell) {
    if (column.Kind == TColumnKind::eColumn_Check)
        return cell.Check == TCheckState::eCheck_Checked     ? "[x]"
               : cell.Check == TCheckState::eCheck_Unchecked ? "[ ]"
                                                             : "";
    switch (cell.Icon) {
    case TSwapStatusIcon::eIcon_Modified:
        return "* " + cell.Text;
    case TSwapStatusIcon::eIcon_Added:
        return "+ " + cell.Text;
    case TSwapStatusIcon::eIcon_Removed:
        return "- " + cell.Text;
    default:
        return cell.Text;
    }
}

} // namespace

TDialogPlayer::TDialogPlayer(TReadCommand read, TPrint print)
    : FRead(std::move(read)), FPrint(std::move(print)) {}

void TDialogPlayer::Fail(const std::string& error) {
    FErrors.push_back(error);
    if (FPrintError)
        FPrintError(error);
    else
        FPrint("error: " + error + "\n");
    if (FStopOnError)
        FStopped = true;
}

std::string TDialogPlayer::Table_Format(const std::vector<TDialogColumn>& columns,
                                        const std::vector<TDialogRow>& rows,
                                        const std::vector<std::int32_t>& shownColumns, std::int32_t width) {
    const std::size_t n = shownColumns.size();
    std::vector<std::vector<std::string>> cells(rows.size(), std::vector<std::string>(n));
    std::vector<std::size_t> widths(n), minimum(n);
    for (std::size_t c = 0; c < n; ++c) {
        const TDialogColumn& column = columns[std::size_t(shownColumns[c])];
        widths[c] = column.Caption.size();
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const auto& rowCells = rows[r].Cells;
            const std::size_t index = std::size_t(shownColumns[c]);
            cells[r][c] = index < rowCells.size() ? CellText(column, rowCells[index]) : std::string();
            // A footprint's library is the same for most rows; its name is what tells them apart.
            if (column.Name == "Footprint")
                if (const std::size_t colon = cells[r][c].find(':'); colon != std::string::npos)
                    cells[r][c].erase(0, colon + 1);
            widths[c] = std::max(widths[c], cells[r][c].size());
        }
        // Texts may shrink to 6 characters; numbers and check boxes keep their width.
        minimum[c] = column.Kind == TColumnKind::eColumn_Text || column.Kind == TColumnKind::eColumn_PickList
                         ? std::min<std::size_t>(widths[c], 6)
                         : widths[c];
    }
    // Two spaces between columns, one when the table would not fit otherwise.
    std::size_t gap = 2;
    auto total = [&] {
        return std::accumulate(widths.begin(), widths.end(), std::size_t(0)) + (n ? n - 1 : 0) * gap;
    };
    if (total() > std::size_t(width))
        gap = 1;
    while (total() > std::size_t(width)) {
        std::size_t widest = n;
        for (std::size_t c = 0; c < n; ++c)
            if (widths[c] > minimum[c] && (widest == n || widths[c] > widths[widest]))
                widest = c;
        if (widest == n)
            break;
        --widths[widest];
    }
    auto fit = [](const std::string& s, std::size_t w) {
        if (s.size() <= w)
            return s + std::string(w - s.size(), ' ');
        return s.substr(0, w ? w - 1 : 0) + "~";
    };
    std::string text;
    auto line = [&](const std::vector<std::string>& values) {
        std::string l;
        for (std::size_t c = 0; c < n; ++c)
            l += (c ? std::string(gap, ' ') : std::string()) + fit(values[c], widths[c]);
        while (!l.empty() && l.back() == ' ')
            l.pop_back();
        text += l + "\n";
    };
    std::vector<std::string> header;
    for (std::int32_t c : shownColumns)
        header.push_back(columns[std::size_t(c)].Caption);
    line(header);
    for (const auto& row : cells)
        line(row);
    return text;
}

// ------------------------------------------------------------------------------------ list

void TDialogPlayer::ShowList(IComponentListState& state) {
    const auto columns = state.Columns();
    std::vector<std::int32_t> shown;
    for (std::size_t c = 0; c < columns.size(); ++c)
        // The library reference is left out: the table has to fit a terminal.
        if (columns[c].Visible && columns[c].Name != "LibraryReference")
            shown.push_back(std::int32_t(c));
    const auto rows = state.Rows();
    FPrint(state.Caption() + (state.SwappableOnly() ? " (only components with swap information)" : "") +
           "\n");
    FPrint(Table_Format(columns, rows, shown, FWidth));
    FPrint(fmt::format(
        "{} component{}. Swap data: (entries/pins); * modified, + added, - removed. Type help for "
        "the commands.\n",
        rows.size(), rows.size() == 1 ? "" : "s"));
}

bool TDialogPlayer::ShowComponentList(IComponentListState& state) {
    // A new dialog from the host's menu: an earlier script's failure does not stop this one.
    if (FDepth == 0)
        FStopped = false;
    ++FDepth;
    const bool ok = PlayList(state);
    --FDepth;
    return ok;
}

bool TDialogPlayer::PlayList(IComponentListState& state) {
    ShowList(state);
    std::string line;
    while (!FStopped) {
        if (!FRead("list> ", line)) {
            FPrint("No more commands: the list is closed with Cancel; nothing is written.\n");
            return false;
        }
        const auto words = SplitWords(line);
        if (words.empty())
            continue;
        const TOutcome outcome = ListCommand(state, words);
        if (outcome == TOutcome::eOK)
            return true;
        if (outcome == TOutcome::eCancel)
            return false;
    }
    FPrint("The list is closed with Cancel; nothing is written.\n");
    return false;
}

TDialogPlayer::TOutcome TDialogPlayer::ListCommand(IComponentListState& state,
                                                   const std::vector<std::string>& words) {
    const std::string verb = Lower(words[0]);
    const auto rows = state.Rows();
    auto records = [&](std::size_t from, std::vector<std::int32_t>& out) {
        std::vector<std::string> missing;
        const auto names = Names(words, from, words.size());
        if (names.empty()) {
            Fail(verb + ": name the components (e.g. U1,U2) or all");
            return false;
        }
        out = RecordsNamed(rows, 0, names, missing);
        if (!missing.empty()) {
            Fail(verb + ": no component " + Joined(missing) + " in the list" +
                 (state.SwappableOnly() ? " (the list shows only components with swap information)" : ""));
            return false;
        }
        return true;
    };
    auto kindOf = [&](bool& pin) {
        if (words.size() < 2 || (Lower(words[1]) != "pin" && Lower(words[1]) != "part")) {
            Fail(verb + ": expected pin or part after " + verb);
            return false;
        }
        pin = Lower(words[1]) == "pin";
        return true;
    };
    auto run = [&](TListCommand command) {
        if (!state.CommandEnabled(command)) {
            Fail("\"" + state.CommandCaption(command) + "\" is not available for this selection");
            return;
        }
        state.RunCommand(command);
    };

    if (verb == "help") {
        FPrint(cListHelp);
    } else if (verb == "show" || verb == "list") {
        ShowList(state);
    } else if (verb == "filter") {
        if (words.size() != 2 || (Lower(words[1]) != "on" && Lower(words[1]) != "off"))
            Fail("filter: expected on or off");
        else {
            state.SetSwappableOnly(Lower(words[1]) == "on");
            ShowList(state);
        }
    } else if (verb == "open") {
        std::vector<std::int32_t> picked;
        if (words.size() != 2)
            Fail("open: name one component, e.g. open U2");
        else if (records(1, picked)) {
            state.SetSelection({picked[0]}, picked[0]);
            run(TListCommand::eList_ConfigureComponent);
            if (!FStopped)
                ShowList(state);
        }
    } else if (verb == "copy") {
        bool pin = true;
        std::vector<std::int32_t> picked;
        if (words.size() != 3)
            Fail("copy: expected copy pin|part REF");
        else if (kindOf(pin) && records(2, picked)) {
            state.SetSelection({picked[0]}, picked[0]);
            run(pin ? TListCommand::eList_CopyPinSwapData : TListCommand::eList_CopyPartSwapData);
            FPrint(fmt::format("Copied the {}-swap information of {}.\n", pin ? "pin" : "part", words[2]));
        }
    } else if (verb == "paste") {
        bool pin = true;
        std::vector<std::int32_t> picked;
        if (kindOf(pin) && records(2, picked)) {
            state.SetSelection(picked, picked[0]);
            run(pin ? TListCommand::eList_PastePinSwapData : TListCommand::eList_PastePartSwapData);
            ShowList(state);
        }
    } else if (verb == "enable" || verb == "disable") {
        bool pin = true;
        std::vector<std::int32_t> picked;
        const bool on = verb == "enable";
        if (!kindOf(pin)) {
        } else if (words.size() == 3 && Lower(words[2]) == "all") {
            run(pin ? (on ? TListCommand::eList_EnableAll_PinSwap : TListCommand::eList_DisableAll_PinSwap)
                    : (on ? TListCommand::eList_EnableAll_PartSwap
                          : TListCommand::eList_DisableAll_PartSwap));
            ShowList(state);
        } else if (records(2, picked)) {
            state.SetSelection(picked, picked[0]);
            run(pin ? (on ? TListCommand::eList_EnableSelected_PinSwap
                          : TListCommand::eList_DisableSelected_PinSwap)
                    : (on ? TListCommand::eList_EnableSelected_PartSwap
                          : TListCommand::eList_DisableSelected_PartSwap));
            ShowList(state);
        }
    } else if (verb == "menu") {
        std::vector<std::int32_t> picked;
        if (words.size() >= 2 && records(1, picked))
            state.SetSelection(picked, picked[0]);
        for (const TMenuItem& item : state.PopupMenu())
            FPrint(item.Separator
                       ? "  ----\n"
                       : fmt::format("  {}{}\n", item.Caption, item.Enabled ? "" : " (not available)"));
    } else if (verb == "ok") {
        if (state.OK())
            return TOutcome::eOK;
        FPrint("The list stays open.\n");
    } else if (verb == "cancel") {
        if (state.Cancel())
            return TOutcome::eCancel;
        FPrint("The list stays open.\n");
    } else {
        Fail("unknown command \"" + words[0] + "\" in the component list; type help for the commands");
    }
    return TOutcome::eContinue;
}

// ---------------------------------------------------------------------------------- editor

namespace {

const char* ListWord(TSwapList list) {
    switch (list) {
    case TSwapList::eSwapList_Pins:
        return "pins";
    case TSwapList::eSwapList_Pairs:
        return "pairs";
    case TSwapList::eSwapList_SubParts:
        return "sub-parts";
    case TSwapList::eSwapList_PartPins:
        return "pins of the chosen sub-parts";
    }
    return "";
}

// The columns a terminal shows of each list: the most telling ones, so that a table fits.
std::vector<std::int32_t> TerminalColumns(IComponentSwapState& state, TSwapList list) {
    const auto columns = state.Columns(list);
    const auto bands = state.Bands(list);
    static const std::vector<std::string> pinColumns{"Designator", "PinName", "Net",        "Type", "PartNo",
                                                     "PinGroup",   "IOBank",  "IOStandard", "IOPin"};
    static const std::vector<std::string> partPinColumns{"Designator", "PinName", "Net", "PinType",
                                                         "SequenceID"};
    std::vector<std::int32_t> shown;
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const TDialogColumn& column = columns[c];
        if (!column.Visible || !bands[std::size_t(column.Band)].Visible)
            continue;
        const auto* wanted = list == TSwapList::eSwapList_Pins       ? &pinColumns
                             : list == TSwapList::eSwapList_PartPins ? &partPinColumns
                                                                     : nullptr;
        if (wanted && std::find(wanted->begin(), wanted->end(), column.Name) == wanted->end())
            continue;
        shown.push_back(std::int32_t(c));
    }
    return shown;
}

} // namespace

void TDialogPlayer::ShowSwapHeader(IComponentSwapState& state) {
    std::string text = state.Caption() + "\n";
    text += "Page: " + state.PageCaption(state.ActivePage());
    if (state.FilterVisible())
        text += "; pins: " + state.FilterItems()[std::size_t(state.Filter())];
    if (state.PairModeVisible())
        text += "; pairs: " + state.PairModeItems()[std::size_t(state.PairMode())];
    FPrint(text + "\n");
}

void TDialogPlayer::ShowSwapList(IComponentSwapState& state, TSwapList list) {
    const auto rows = state.Rows(list);
    if (list == TSwapList::eSwapList_PartPins && rows.empty())
        return;
    FPrint(Table_Format(state.Columns(list), rows, TerminalColumns(state, list), FWidth));
    FPrint(fmt::format("{} {}.\n", rows.size(), ListWord(list)));
}

bool TDialogPlayer::ShowComponentSwap(IComponentSwapState& state) {
    if (FDepth == 0)
        FStopped = false;
    ++FDepth;
    const bool ok = PlaySwap(state);
    --FDepth;
    return ok;
}

bool TDialogPlayer::PlaySwap(IComponentSwapState& state) {
    ShowSwapHeader(state);
    ShowSwapList(state, TSwapList::eSwapList_Pins);
    FPrint("Type help for the editor's commands.\n");
    std::string line;
    while (!FStopped) {
        if (!FRead("component> ", line)) {
            FPrint("No more commands: the editor is closed with Cancel.\n");
            return false;
        }
        const auto words = SplitWords(line);
        if (words.empty())
            continue;
        const TOutcome outcome = SwapCommand(state, words, line);
        if (outcome == TOutcome::eOK)
            return true;
        if (outcome == TOutcome::eCancel)
            return false;
    }
    return false;
}

TDialogPlayer::TOutcome TDialogPlayer::SwapCommand(IComponentSwapState& state,
                                                   const std::vector<std::string>& words,
                                                   const std::string&) {
    const std::string verb = Lower(words[0]);
    // Selects the named rows of a list (names in column 0, "all" for every shown row); false
    // after reporting names that match nothing.
    auto select = [&](TSwapList list, const std::vector<std::string>& names) {
        if (names.empty()) {
            Fail(verb + ": name the " + ListWord(list) + " (e.g. A1,A2) or all");
            return false;
        }
        if (list == TSwapList::eSwapList_PartPins) {
            // The part-pin list shows the pins of the chosen sub-parts: choose them all.
            std::vector<std::int32_t> parts;
            for (const auto& row : state.Rows(TSwapList::eSwapList_SubParts))
                parts.push_back(row.Record);
            state.SetSelection(TSwapList::eSwapList_SubParts, parts);
        }
        const auto rows = state.Rows(list);
        std::vector<std::string> missing;
        std::vector<std::int32_t> records = RecordsNamed(rows, 0, names, missing);
        if (list == TSwapList::eSwapList_SubParts)
            // Sub-parts also answer to their number (1, 2...) and letter (A, B...).
            std::erase_if(missing, [&](const std::string& name) {
                for (std::size_t i = 0; i < rows.size(); ++i) {
                    const std::string& full = rows[i].Cells[0].Text;
                    if (name == std::to_string(i + 1) ||
                        (full.size() > name.size() &&
                         Text_EqualNoCase(full.substr(full.size() - name.size()), name) &&
                         std::isdigit(static_cast<unsigned char>(full[full.size() - name.size() - 1])))) {
                        records.push_back(rows[i].Record);
                        return true;
                    }
                }
                return false;
            });
        if (!missing.empty()) {
            Fail(verb + ": no " + Joined(missing) + " among the " + ListWord(list) + " shown" +
                 (state.Filter() != 0 ? " (the pin filter hides some; filter all shows them)" : ""));
            return false;
        }
        state.SetSelection(list, records);
        return true;
    };
    // Runs "&New" or the group `id` of a group sub-menu; an id not yet in use is typed in.
    auto column = [&](TSwapList list, const std::string& name) {
        const auto columns = state.Columns(list);
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (columns[c].Name == name)
                return std::int32_t(c);
        return std::int32_t(-1);
    };
    auto group = [&](TSwapList list, const std::string& menu, std::int32_t column, const std::string& id) {
        const auto items = state.PopupMenu(list);
        const TMenuItem* sub = FindItem(items, menu);
        if (!sub) {
            Fail(verb + ": the menu has no \"" + menu + "\"");
            return;
        }
        const TMenuItem* item = FindItem(sub->Items, Text_EqualNoCase(id, "new") ? "New" : id);
        if (item) {
            state.RunMenuItem(list, item->Id);
            return;
        }
        for (std::int32_t record : state.Selection(list))
            state.SetCellText(list, record, column, id);
    };
    auto remove = [&](TSwapList list, const std::string& menu) {
        const auto items = state.PopupMenu(list);
        if (const TMenuItem* item = FindItem(items, menu))
            state.RunMenuItem(list, item->Id);
        else
            Fail(verb + ": the menu has no \"" + menu + "\"");
    };
    struct TGroupVerb {
        const char* Verb;
        TSwapList List;
        const char* AddMenu;
        const char* RemoveMenu;
        const char* Column;
    };
    const TGroupVerb groupVerbs[] = {
        {"group", TSwapList::eSwapList_Pins, "Add To Pin-Swap Group", "Remove From Pin-Swap Group",
         "PinGroup"},
        {"pair", TSwapList::eSwapList_Pairs, "Add To Pair-Swap Group", "Remove From Pair-Swap Group",
         "PairGroup"},
        {"part", TSwapList::eSwapList_SubParts, "Add To Part-Swap Group", "Remove From Part-Swap Group",
         "PartGroup"},
        {"sequence", TSwapList::eSwapList_PartPins, "Assign Part Sequence Number",
         "Remove Part Sequence Number", "SequenceID"},
    };

    if (verb == "help") {
        FPrint(cSwapHelp);
        return TOutcome::eContinue;
    }
    for (const TGroupVerb& g : groupVerbs) {
        if (verb == g.Verb) {
            if (words.size() < 3)
                Fail(verb + ": expected " + verb + " NAMES new|ID");
            else if (select(g.List, Names(words, 1, words.size() - 1))) {
                group(g.List, g.AddMenu, column(g.List, g.Column), words.back());
                ShowSwapList(state, g.List);
            }
            return TOutcome::eContinue;
        }
        if (verb == std::string("un") + g.Verb) {
            if (select(g.List, Names(words, 1, words.size()))) {
                remove(g.List, g.RemoveMenu);
                ShowSwapList(state, g.List);
            }
            return TOutcome::eContinue;
        }
    }
    if (verb == "show") {
        const std::string what = words.size() > 1 ? Lower(words[1]) : "";
        const TSwapPage page = what == "pins"    ? TSwapPage::ePage_Pins
                               : what == "pairs" ? TSwapPage::ePage_Pairs
                               : what == "parts" ? TSwapPage::ePage_Parts
                                                 : state.ActivePage();
        if (!what.empty() && what != "pins" && what != "pairs" && what != "parts")
            Fail("show: expected pins, pairs or parts");
        else if (page == TSwapPage::ePage_Pins)
            ShowSwapList(state, TSwapList::eSwapList_Pins);
        else if (page == TSwapPage::ePage_Pairs)
            ShowSwapList(state, TSwapList::eSwapList_Pairs);
        else {
            ShowSwapList(state, TSwapList::eSwapList_SubParts);
            ShowSwapList(state, TSwapList::eSwapList_PartPins);
        }
    } else if (verb == "page") {
        const std::string what = words.size() == 2 ? Lower(words[1]) : "";
        if (what != "pins" && what != "pairs" && what != "parts")
            Fail("page: expected pins, pairs or parts");
        else {
            state.SetActivePage(what == "pins"    ? TSwapPage::ePage_Pins
                                : what == "pairs" ? TSwapPage::ePage_Pairs
                                                  : TSwapPage::ePage_Parts);
            ShowSwapHeader(state);
            SwapCommand(state, {"show"}, "show");
        }
    } else if (verb == "filter" || verb == "pairmode") {
        const std::vector<std::string> keys = verb == "filter"
                                                  ? std::vector<std::string>{"all", "io", "assigned"}
                                                  : std::vector<std::string>{"all", "directives", "fpga"};
        auto it = words.size() == 2 ? std::find(keys.begin(), keys.end(), Lower(words[1])) : keys.end();
        if (it == keys.end())
            Fail(verb + ": expected " + Joined(keys));
        else if (verb == "filter") {
            state.SetFilter(std::int32_t(it - keys.begin()));
            ShowSwapList(state, TSwapList::eSwapList_Pins);
        } else {
            state.SetPairMode(std::int32_t(it - keys.begin()));
            ShowSwapList(state, TSwapList::eSwapList_Pairs);
        }
    } else if (verb == "assign") {
        if (words.size() < 3 || Lower(words[1]) != "by") {
            Fail("assign: expected assign by COLUMN [PINS]");
            return TOutcome::eContinue;
        }
        const auto items = state.PopupMenu(TSwapList::eSwapList_Pins);
        const TMenuItem* by = FindItem(items, "Assign Pin-Swap Groups By");
        const std::vector<TMenuItem> byItems = by ? by->Items : std::vector<TMenuItem>{};
        std::vector<const TMenuItem*> matches;
        std::vector<std::string> choices;
        const std::string wanted = Key(words[2]);
        for (const TMenuItem& item : byItems) {
            if (item.Separator)
                continue;
            const std::string key = Key(item.Caption);
            choices.push_back(item.Caption);
            if (key == wanted) {
                matches = {&item};
                break;
            }
            if (!wanted.empty() && key.find(wanted) != std::string::npos)
                matches.push_back(&item);
        }
        if (matches.size() != 1) {
            std::erase(choices, std::string());
            for (auto& c : choices)
                std::erase(c, '&');
            Fail(fmt::format("assign by {}: {} column; the choices are: {}", words[2],
                             matches.empty() ? "no such" : "more than one", Joined(choices)));
            return TOutcome::eContinue;
        }
        const auto names = words.size() > 3 ? Names(words, 3, words.size()) : std::vector<std::string>{"all"};
        if (select(TSwapList::eSwapList_Pins, names)) {
            state.RunMenuItem(TSwapList::eSwapList_Pins, matches[0]->Id);
            ShowSwapList(state, TSwapList::eSwapList_Pins);
        }
    } else if (verb == "set") {
        if (words.size() != 3)
            Fail("set: expected set PIN TEXT (quotes keep spaces)");
        else if (select(TSwapList::eSwapList_Pins, {words[1]})) {
            for (std::int32_t record : state.Selection(TSwapList::eSwapList_Pins))
                state.SetCellText(TSwapList::eSwapList_Pins, record,
                                  column(TSwapList::eSwapList_Pins, "PinGroup"), words[2]);
            ShowSwapList(state, TSwapList::eSwapList_Pins);
        }
    } else if (verb == "import") {
        if (!state.ImportEnabled())
            Fail("import: \"" + state.ImportCaption() + "\" needs an FPGA configuration; there is none here");
        else {
            state.ImportFromFPGA();
            ShowSwapList(state, TSwapList::eSwapList_Pins);
        }
    } else if (verb == "ok") {
        if (state.OK())
            return TOutcome::eOK;
    } else if (verb == "cancel") {
        if (state.Cancel())
            return TOutcome::eCancel;
    } else {
        Fail("unknown command \"" + words[0] + "\" in the component editor; type help for the commands");
    }
    return TOutcome::eContinue;
}

} // namespace pcbhost
