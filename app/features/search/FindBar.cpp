#include "app/features/search/FindBar.h"

#include "app/features/search/FindController.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vendrix::app {
namespace {

QPushButton* button(const QString& title, QWidget* parent, const std::function<void()>& action) {
    auto* result = new QPushButton(title, parent);
    result->setAutoDefault(false);
    result->setFocusPolicy(Qt::TabFocus);
    QObject::connect(result, &QPushButton::clicked, parent, action);
    return result;
}

} // namespace

FindBar::FindBar(FindController& controller, QWidget* parent)
    : QWidget(parent), m_controller(controller) {
    setObjectName(QStringLiteral("findBar"));
    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(6, 4, 6, 4);
    rows->setSpacing(3);

    findRow = new QWidget(this);
    auto* findLayout = new QHBoxLayout(findRow);
    findLayout->setContentsMargins(0, 0, 0, 0);
    findField = new QLineEdit(findRow);
    findField->setPlaceholderText(QStringLiteral("Bul"));
    findField->setMinimumWidth(160);
    findField->installEventFilter(this);
    regexBox = new QCheckBox(findRow);
    caseBox = new QCheckBox(findRow);
    wordBox = new QCheckBox(findRow);
    wrapBox = new QCheckBox(findRow);
    m_previousButton = button(QString(), findRow, [this] { m_controller.findPrevious(); });
    m_nextButton = button(QString(), findRow, [this] { m_controller.findNext(); });
    allTabsButton = button(QStringLiteral("Tüm Sekmelerde Bul"), findRow,
                           [this] { m_controller.findInAllTabs(); });
    countLabel = new QLabel(findRow);
    countLabel->setTextFormat(Qt::PlainText);
    auto* close = button(QStringLiteral("✕"), findRow, [this] { emit closeRequested(); });
    close->setToolTip(QStringLiteral("Kapat"));
    close->setFixedWidth(28);
    // Narrow bars show symbols: the names stay the full words for screen readers.
    findField->setAccessibleName(QStringLiteral("Aranacak metin"));
    regexBox->setAccessibleName(QStringLiteral("Düzenli ifade"));
    caseBox->setAccessibleName(QStringLiteral("Büyük/küçük harf"));
    wordBox->setAccessibleName(QStringLiteral("Tam sözcük"));
    wrapBox->setAccessibleName(QStringLiteral("Başa dön"));
    m_previousButton->setAccessibleName(QStringLiteral("Öncekini Bul"));
    m_nextButton->setAccessibleName(QStringLiteral("Sonrakini Bul"));
    allTabsButton->setAccessibleName(QStringLiteral("Tüm Sekmelerde Bul"));
    countLabel->setAccessibleDescription(QStringLiteral("Eşleşme sayısı"));
    close->setAccessibleName(QStringLiteral("Bul çubuğunu kapat"));
    for (QWidget* widget :
         {static_cast<QWidget*>(findField), static_cast<QWidget*>(regexBox),
          static_cast<QWidget*>(caseBox), static_cast<QWidget*>(wordBox),
          static_cast<QWidget*>(wrapBox), static_cast<QWidget*>(m_previousButton),
          static_cast<QWidget*>(m_nextButton), static_cast<QWidget*>(allTabsButton),
          static_cast<QWidget*>(countLabel), static_cast<QWidget*>(close)})
        findLayout->addWidget(widget, widget == findField ? 1 : 0);

    replaceRow = new QWidget(this);
    auto* replaceLayout = new QHBoxLayout(replaceRow);
    replaceLayout->setContentsMargins(0, 0, 0, 0);
    replaceField = new QLineEdit(replaceRow);
    replaceField->setPlaceholderText(
        QStringLiteral("Değiştir (düzenli ifadede yakalanan gruplar: $1, $2 …)"));
    replaceField->installEventFilter(this);
    replaceField->setAccessibleName(QStringLiteral("Yeni metin"));
    replaceLayout->addWidget(replaceField, 1);
    replaceLayout->addWidget(
        button(QStringLiteral("Değiştir"), replaceRow, [this] { m_controller.replace(); }));
    replaceLayout->addWidget(button(QStringLiteral("Tümünü Değiştir"), replaceRow,
                                    [this] { m_controller.replaceAll(); }));
    replaceInTabsButton = button(QStringLiteral("Tüm Sekmelerde Değiştir"), replaceRow,
                                 [this] { m_controller.replaceInAllTabs(); });
    replaceLayout->addWidget(replaceInTabsButton);

    // The status quotes the query ("Bulunamadı: <b>"): shown as typed, never as markup.
    statusLabel = new QLabel(this);
    statusLabel->setTextFormat(Qt::PlainText);
    statusLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    replaceHint = new QLabel(this);
    replaceHint->setTextFormat(Qt::PlainText);
    replaceHint->setText(backslashGroupHint);
    replaceHint->hide();
    statusLabel->setAccessibleDescription(QStringLiteral("Arama durumu"));
    rows->addWidget(findRow);
    rows->addWidget(replaceRow);
    rows->addWidget(replaceHint);
    rows->addWidget(statusLabel);

    connect(findField, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_controller.setQuery(text);
        m_controller.optionsChanged();
    });
    connect(replaceField, &QLineEdit::textEdited, this, [this](const QString& text) {
        m_controller.setReplacement(text);
        refreshReplaceHint();
    });
    for (QCheckBox* box : {regexBox, caseBox, wordBox, wrapBox})
        connect(box, &QCheckBox::toggled, this, &FindBar::optionsEdited);

    connect(&m_controller, &FindController::statusChanged, this, &FindBar::refreshStatus);

    setCompact(false);
    refreshFromController();
    refreshStatus();
}

void FindBar::optionsEdited() {
    if (m_refreshing)
        return;
    m_controller.setRegex(regexBox->isChecked());
    m_controller.setMatchCase(caseBox->isChecked());
    m_controller.setWholeWord(wordBox->isChecked());
    m_controller.setWraps(wrapBox->isChecked());
    m_controller.optionsChanged();
    refreshReplaceHint();
}

bool FindBar::needsBackslashGroupHint(bool isRegex, const QString& replacement) {
    if (!isRegex)
        return false;
    // A doubled backslash is a literal one: the digit after it is no group reference.
    for (qsizetype i = 0; i + 1 < replacement.size(); ++i) {
        if (replacement[i] != u'\\')
            continue;
        if (replacement[i + 1] >= u'1' && replacement[i + 1] <= u'9')
            return true;
        ++i;
    }
    return false;
}

void FindBar::refreshReplaceHint() {
    replaceHint->setVisible(
        isReplaceVisible() &&
        needsBackslashGroupHint(m_controller.isRegex(), m_controller.replacement()));
}

void FindBar::setReplaceVisible(bool visible) {
    replaceRow->setVisible(visible);
    refreshReplaceHint();
}

bool FindBar::isReplaceVisible() const {
    return !replaceRow->isHidden();
}

void FindBar::refreshFromController() {
    m_refreshing = true;
    if (findField->text() != m_controller.query())
        findField->setText(m_controller.query());
    if (replaceField->text() != m_controller.replacement())
        replaceField->setText(m_controller.replacement());
    regexBox->setChecked(m_controller.isRegex());
    caseBox->setChecked(m_controller.matchCase());
    wordBox->setChecked(m_controller.wholeWord());
    wrapBox->setChecked(m_controller.wraps());
    m_refreshing = false;
    refreshReplaceHint();
}

void FindBar::refreshStatus() {
    statusLabel->setText(m_controller.status());
    statusLabel->setStyleSheet(m_controller.statusIsError() ? QStringLiteral("color: #c0392b;")
                                                            : QString());
    statusLabel->setVisible(!m_controller.status().isEmpty());
    countLabel->setText(m_controller.countStatus());
}

void FindBar::focusFindField() {
    findField->setFocus(Qt::ShortcutFocusReason);
    findField->selectAll();
}

void FindBar::setCompact(bool compact) {
    isCompact = compact;
    regexBox->setText(compact ? QStringLiteral(".*") : QStringLiteral("Düzenli ifade"));
    caseBox->setText(compact ? QStringLiteral("Aa") : QStringLiteral("Büyük/küçük harf"));
    wordBox->setText(compact ? QStringLiteral("Söz") : QStringLiteral("Tam sözcük"));
    wrapBox->setText(compact ? QStringLiteral("↻") : QStringLiteral("Başa dön"));
    regexBox->setToolTip(QStringLiteral("Düzenli ifade"));
    caseBox->setToolTip(QStringLiteral("Büyük/küçük harf"));
    wordBox->setToolTip(QStringLiteral("Tam sözcük"));
    wrapBox->setToolTip(QStringLiteral("Başa dön"));
    m_previousButton->setText(compact ? QStringLiteral("◀") : QStringLiteral("Önceki (Shift+F3)"));
    m_nextButton->setText(compact ? QStringLiteral("▶") : QStringLiteral("Sonraki (F3)"));
    allTabsButton->setText(compact ? QStringLiteral("Tümü") : QStringLiteral("Tüm Sekmelerde Bul"));
}

void FindBar::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const bool compact = width() < fullMinWidth;
    if (compact != isCompact)
        setCompact(compact);
}

bool FindBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    const bool isReturn = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
    if (key->key() == Qt::Key_Escape) {
        emit closeRequested();
        return true;
    }
    if (watched == findField) {
        if (isReturn) {
            if (key->modifiers() & Qt::ShiftModifier)
                m_controller.findPrevious();
            else
                m_controller.findNext();
            return true;
        }
        if (key->key() == Qt::Key_Tab && isReplaceVisible()) {
            replaceField->setFocus(Qt::TabFocusReason);
            replaceField->selectAll();
            return true;
        }
    } else if (watched == replaceField && isReturn) {
        m_controller.replace();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace vendrix::app
