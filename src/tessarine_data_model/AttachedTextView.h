#pragma once

#include <memory>

#include <QColor>
#include <QRectF>

#include "tessarine_data_model/AttributedText.h"

class QVR_TextStorage;

// A text view showing (and perhaps editing) a text object's storage, as the model and the inspector see it. Views
// register with their text object; the object's current attached view is the one registered last.
class AttachedTextView {
public:
    virtual ~AttachedTextView() = default;

    virtual TextRange selectedRange() const = 0;
    virtual bool isEditable() const = 0;
    // The attributes the next typed characters take.
    virtual TextAttributes typingAttributes() const = 0;
    virtual void setTypingAttributes(const TextAttributes& attributes) = 0;
    virtual QColor insertionPointColor() const = 0;
    // The caret's colour (the inspector gives it the picked text colour); views without a caret ignore it.
    virtual void setInsertionPointColor(const QColor&) {}
    virtual std::shared_ptr<QVR_TextStorage> textStorage() const = 0;
    // Lays the text out at `width` (the view's new width; its height stays) and returns the rectangle its lines
    // use inside the view's inset, as the model's own layout at that width less the inset would.
    virtual QRectF usedRectForWidth(double width) = 0;
};
