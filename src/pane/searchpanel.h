// The search panel of the pane's 検索 tab: the keyword box (a placeholder until the pane puts the
// box in its place), the recent searches, the 検索 button, the variant box, the and/or radios,
// the target radios, the range and the totals, laid out top to bottom. It makes, groups and lays
// out its controls; the pane reads them and fills them in.
#pragma once

#include <QWidget>

class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace kolva {

class CKeywordBox;

class CSearchPanel : public QWidget {
    Q_OBJECT
public:
    explicit CSearchPanel(QWidget* parent = nullptr);

    QLabel* Prompt() const { return m_prompt; }
    // The keyword box once made (MakeKeywordBox puts it in its placeholder's place; it loads a
    // page, so the pane makes it when the window is set up), else null; the widget in its place.
    CKeywordBox* KeywordBox() const { return m_keywordBox; }
    QWidget* KeywordWidget() const { return m_keyword; }
    CKeywordBox* MakeKeywordBox();
    QToolButton* RecentButton() const { return m_recentButton; }
    QMenu* RecentMenu() const { return m_recentMenu; }
    QPushButton* SearchButton() const { return m_searchButton; }
    QFrame* Line() const { return m_line; }
    QCheckBox* VariantBox() const { return m_variantBox; }
    QGroupBox* MethodGroup() const { return m_methodGroup; }
    QRadioButton* AndRadio() const { return m_andRadio; }
    QRadioButton* OrRadio() const { return m_orRadio; }
    QGroupBox* TargetGroup() const { return m_targetGroup; }
    QRadioButton* FullTextRadio() const { return m_fullTextRadio; }
    QRadioButton* MainTextRadio() const { return m_mainTextRadio; }
    QRadioButton* NotesRadio() const { return m_notesRadio; }
    QGroupBox* RangeGroup() const { return m_rangeGroup; }
    QLabel* RangeLabel() const { return m_rangeLabel; }
    QLabel* Totals() const { return m_totals; }

private:
    QLabel* m_prompt;
    QWidget* m_keyword;  // the placeholder, then the keyword box
    CKeywordBox* m_keywordBox = nullptr;
    QToolButton* m_recentButton;
    QMenu* m_recentMenu;
    QPushButton* m_searchButton;
    QFrame* m_line;
    QCheckBox* m_variantBox;
    QGroupBox* m_methodGroup;
    QRadioButton* m_andRadio;
    QRadioButton* m_orRadio;
    QGroupBox* m_targetGroup;
    QRadioButton* m_fullTextRadio;
    QRadioButton* m_mainTextRadio;
    QRadioButton* m_notesRadio;
    QGroupBox* m_rangeGroup;
    QLabel* m_rangeLabel;
    QLabel* m_totals;
};

}  // namespace kolva
