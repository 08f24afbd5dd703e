#pragma once

#include <QLabel>

// A read-only text field whose text sits vertically centred in however tall a frame it is given (Qt's label
// alignment does the centring; the class keeps the name callers use and refuses other vertical alignments).
class VerticallyCenteredTextFieldCell : public QLabel {
    Q_OBJECT
public:
    explicit VerticallyCenteredTextFieldCell(QWidget* parent = nullptr);
    explicit VerticallyCenteredTextFieldCell(const QString& text, QWidget* parent = nullptr);

    // Keeps the horizontal part of `alignment`; vertical is always centred.
    void setHorizontalAlignment(Qt::Alignment alignment);
};
