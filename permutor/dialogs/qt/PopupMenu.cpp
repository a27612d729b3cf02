#include "permutor/dialogs/qt/PopupMenu.h"

namespace permutor::dialogs::qt {

void FillMenu(QMenu& menu, const std::vector<TMenuItem>& items, const std::function<void(int)>& run) {
    for (const TMenuItem& item : items) {
        if (!item.Visible)
            continue;
        if (item.Separator) {
            menu.addSeparator();
            continue;
        }
        const QString caption = QString::fromStdString(item.Caption);
        if (!item.Items.empty()) {
            QMenu* sub = menu.addMenu(caption);
            sub->setEnabled(item.Enabled);
            FillMenu(*sub, item.Items, run);
            continue;
        }
        QAction* action = menu.addAction(caption);
        action->setEnabled(item.Enabled);
        action->setCheckable(item.Checkable);
        action->setChecked(item.Checked);
        const int id = item.Id;
        QObject::connect(action, &QAction::triggered, &menu, [run, id] { run(id); });
    }
}

QAction* FindMenuAction(const QMenu& menu, const QString& caption) {
    for (QAction* action : menu.actions()) {
        if (action->isSeparator())
            continue;
        if (QString(action->text()).remove(u'&') == QString(caption).remove(u'&'))
            return action;
        if (action->menu())
            if (QAction* found = FindMenuAction(*action->menu(), caption))
                return found;
    }
    return nullptr;
}

} // namespace permutor::dialogs::qt
