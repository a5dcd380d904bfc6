#pragma once
// Where the grid printer writes its lines: a printer's pages, or in tests a
// recorder of texts and positions. Positions and sizes are device units of
// the printable area, y growing downwards.

#include <QString>

namespace kestrava {

class PrintTarget {
public:
    enum class Orientation { Portrait, Landscape };

    struct Font {
        QString family;
        double pointSize = 10;
        bool bold = false;
        bool fixedPitch = false;
    };

    virtual ~PrintTarget() = default;

    virtual int PageWidth() const = 0;
    virtual int PageHeight() const = 0;
    virtual int DotsPerInchX() const = 0;
    virtual int DotsPerInchY() const = 0;

    virtual Orientation PageOrientation() const = 0;
    virtual void SetPageOrientation(Orientation orientation) = 0;

    virtual Font CurrentFont() const = 0;
    virtual void SetFont(const Font& font) = 0;
    virtual int TextWidth(const QString& text) const = 0;
    virtual int TextHeight(const QString& text) const = 0;
    // Writes text with its top left corner at (x, y).
    virtual void TextOut(int x, int y, const QString& text) = 0;

    // A print job: its title, its pages.
    virtual void BeginDoc(const QString& title) = 0;
    virtual void NewPage() = 0;
    virtual void EndDoc() = 0;
};

}  // namespace kestrava
