import QtQuick
import Tavo.Kit

// An icon by its system name, drawn from the bundled icon set in `color` at `size` pixels;
// an unknown name shows nothing.
GlyphItem {
    color: Theme.textDim
    size: Theme.fontBody + 2
}
