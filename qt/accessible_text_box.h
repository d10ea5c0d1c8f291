#pragma once

#include <QAccessibleWidget>

class QLineEdit;

namespace hexlark {

// What a screen reader reads of a one-line text box: its text, caret and
// selection, split by character, word or line. Qt 6.4's own line edit never
// answers a word or sentence question asked at the end of the text (it
// spins), and tells of text attributes in empty runs, from which Orca
// builds a line one character short.
class AccessibleTextBox : public QAccessibleWidget, public QAccessibleTextInterface
{
public:
    explicit AccessibleTextBox(QLineEdit *box);

    // For QAccessible::installFactory: this interface for every QLineEdit.
    static QAccessibleInterface *create(const QString &className, QObject *object);

    void *interface_cast(QAccessible::InterfaceType type) override;
    QAccessible::State state() const override;
    QString text(QAccessible::Text kind) const override;

    void selection(int selectionIndex, int *startOffset, int *endOffset) const override;
    int selectionCount() const override;
    void addSelection(int startOffset, int endOffset) override;
    void removeSelection(int selectionIndex) override;
    void setSelection(int selectionIndex, int startOffset, int endOffset) override;
    int cursorPosition() const override;
    void setCursorPosition(int position) override;
    QString text(int startOffset, int endOffset) const override;
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int *startOffset, int *endOffset) const override;
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int *startOffset, int *endOffset) const override;
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                         int *endOffset) const override;
    int characterCount() const override;
    QRect characterRect(int offset) const override;
    int offsetAtPoint(const QPoint &point) const override;
    void scrollToSubstring(int startIndex, int endIndex) override;
    QString attributes(int offset, int *startOffset, int *endOffset) const override;

private:
    QLineEdit *box() const;
    // The piece of text at offset, or step pieces before or after it.
    QString textAround(int offset, QAccessible::TextBoundaryType boundaryType, int step,
                       int *startOffset, int *endOffset) const;
};

} // namespace hexlark
