#include "accessible_text_box.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QStyle>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <utility>
#include <vector>

namespace hexlark {
namespace {

// Qt's convention for "where the caret stands".
constexpr int kCaretOffset = -2;
// QLineEdit's own gap between its frame and its text, in pixels.
constexpr int kHorizontalTextMargin = 2;

using Pieces = std::vector<std::pair<int, int>>;

// A one-line box has one line, one sentence and one paragraph: all of it.
Pieces pieces(const QString &text, QAccessible::TextBoundaryType boundaryType)
{
    const int length = static_cast<int>(text.size());
    Pieces all;
    if (length == 0) {
        return all;
    }
    if (boundaryType == QAccessible::CharBoundary) {
        for (int i = 0; i < length; ++i) {
            all.emplace_back(i, i + 1);
        }
    } else if (boundaryType == QAccessible::WordBoundary) {
        QTextBoundaryFinder finder(QTextBoundaryFinder::Word, text);
        int start = 0;
        for (qsizetype end = finder.toNextBoundary(); end > 0; end = finder.toNextBoundary()) {
            all.emplace_back(start, static_cast<int>(end));
            start = static_cast<int>(end);
        }
    } else {
        all.emplace_back(0, length);
    }
    return all;
}

// The piece that holds offset, or pieces.size() past the end.
int pieceIndex(const Pieces &all, int offset)
{
    const auto found = std::ranges::find_if(
        all, [offset](const std::pair<int, int> &piece) { return offset < piece.second; });
    return static_cast<int>(found - all.begin());
}

QString pieceText(const QString &text, const Pieces &all, int index, int *startOffset,
                  int *endOffset)
{
    if (index < 0 || index >= static_cast<int>(all.size())) {
        *startOffset = -1;
        *endOffset = -1;
        return {};
    }
    const auto [start, end] = all[static_cast<std::size_t>(index)];
    *startOffset = start;
    *endOffset = end;
    return text.mid(start, end - start);
}

} // namespace

AccessibleTextBox::AccessibleTextBox(QLineEdit *box)
    : QAccessibleWidget(box, QAccessible::EditableText)
{}

QAccessibleInterface *AccessibleTextBox::create(const QString &className, QObject *object)
{
    if (className == QLatin1String("QLineEdit") && object->isWidgetType()) {
        return new AccessibleTextBox(static_cast<QLineEdit *>(object));
    }
    return nullptr;
}

QLineEdit *AccessibleTextBox::box() const
{
    return static_cast<QLineEdit *>(widget());
}

void *AccessibleTextBox::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::TextInterface) {
        return static_cast<QAccessibleTextInterface *>(this);
    }
    return QAccessibleWidget::interface_cast(type);
}

QAccessible::State AccessibleTextBox::state() const
{
    QAccessible::State state = QAccessibleWidget::state();
    state.readOnly = box()->isReadOnly();
    state.editable = !box()->isReadOnly();
    state.selectableText = true;
    return state;
}

QString AccessibleTextBox::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Value) {
        return box()->text();
    }
    return QAccessibleWidget::text(kind);
}

void AccessibleTextBox::selection(int selectionIndex, int *startOffset, int *endOffset) const
{
    *startOffset = 0;
    *endOffset = 0;
    if (selectionIndex == 0 && box()->hasSelectedText()) {
        *startOffset = box()->selectionStart();
        *endOffset = box()->selectionEnd();
    }
}

int AccessibleTextBox::selectionCount() const
{
    return box()->hasSelectedText() ? 1 : 0;
}

void AccessibleTextBox::addSelection(int startOffset, int endOffset)
{
    setSelection(0, startOffset, endOffset);
}

void AccessibleTextBox::removeSelection(int selectionIndex)
{
    if (selectionIndex == 0) {
        box()->deselect();
    }
}

void AccessibleTextBox::setSelection(int selectionIndex, int startOffset, int endOffset)
{
    if (selectionIndex == 0) {
        box()->setSelection(startOffset, endOffset - startOffset);
    }
}

int AccessibleTextBox::cursorPosition() const
{
    return box()->cursorPosition();
}

void AccessibleTextBox::setCursorPosition(int position)
{
    box()->setCursorPosition(position);
}

QString AccessibleTextBox::text(int startOffset, int endOffset) const
{
    const QString all = box()->text();
    const int length = static_cast<int>(all.size());
    const int start = std::clamp(startOffset, 0, length);
    const int end = endOffset < 0 ? length : std::clamp(endOffset, start, length);
    return all.mid(start, end - start);
}

QString AccessibleTextBox::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int *startOffset, int *endOffset) const
{
    return textAround(offset, boundaryType, 0, startOffset, endOffset);
}

QString AccessibleTextBox::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int *startOffset, int *endOffset) const
{
    return textAround(offset, boundaryType, -1, startOffset, endOffset);
}

QString AccessibleTextBox::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int *startOffset, int *endOffset) const
{
    return textAround(offset, boundaryType, 1, startOffset, endOffset);
}

QString AccessibleTextBox::textAround(int offset, QAccessible::TextBoundaryType boundaryType,
                                      int step, int *startOffset, int *endOffset) const
{
    const QString all = box()->text();
    const int length = static_cast<int>(all.size());
    if (offset == kCaretOffset) {
        offset = cursorPosition();
    }
    if (offset < 0 || offset > length) {
        return pieceText(all, {}, 0, startOffset, endOffset);
    }
    const Pieces found = pieces(all, boundaryType);
    int index = pieceIndex(found, offset);
    // At the end of the text, where the caret usually stands, the word or
    // line is the one just read; a character there is none.
    if (offset == length && boundaryType != QAccessible::CharBoundary) {
        index = static_cast<int>(found.size()) - 1;
    }
    return pieceText(all, found, index + step, startOffset, endOffset);
}

int AccessibleTextBox::characterCount() const
{
    return static_cast<int>(box()->text().size());
}

QRect AccessibleTextBox::characterRect(int offset) const
{
    const QString all = box()->text();
    if (offset < 0 || offset >= all.size()) {
        return {};
    }
    // The text fits the box and stands centred in it, unscrolled.
    const QFontMetrics metrics = box()->fontMetrics();
    const int frame =
        box()->hasFrame() ? box()->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
    const QRect area =
        box()
            ->rect()
            .marginsRemoved(box()->textMargins())
            .adjusted(frame + kHorizontalTextMargin, frame, -frame - kHorizontalTextMargin, -frame);
    const int left = area.left() + (area.width() - metrics.horizontalAdvance(all)) / 2 +
                     metrics.horizontalAdvance(all.left(offset));
    const QRect local(left, area.top() + (area.height() - metrics.height()) / 2,
                      metrics.horizontalAdvance(all.at(offset)), metrics.height());
    return QRect(box()->mapToGlobal(local.topLeft()), local.size());
}

int AccessibleTextBox::offsetAtPoint(const QPoint &point) const
{
    for (int offset = 0; offset < characterCount(); ++offset) {
        if (characterRect(offset).contains(point)) {
            return offset;
        }
    }
    return -1;
}

void AccessibleTextBox::scrollToSubstring(int /*startIndex*/, int /*endIndex*/)
{
    // The whole text is always in view.
}

QString AccessibleTextBox::attributes(int offset, int *startOffset, int *endOffset) const
{
    // One run over the whole text: the box has one font and one colour.
    const int length = characterCount();
    if (offset < 0 || offset > length) {
        *startOffset = -1;
        *endOffset = -1;
        return {};
    }
    *startOffset = 0;
    *endOffset = length;
    return {};
}

} // namespace hexlark
