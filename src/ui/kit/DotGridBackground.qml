import QtQuick

// The faint dot grid behind every screen: one 22 px tile (a 1.6 px dot of Theme.dotGrid at its
// centre, with a twice-as-large twin for scaled displays), repeated.
Image {
    // Resolved here: a bare relative name would be taken from the file that places the grid.
    source: Qt.resolvedUrl("dot-grid.png")
    fillMode: Image.Tile
    // Tiles start at the top left, as the grid always has, whatever the window's size.
    horizontalAlignment: Image.AlignLeft
    verticalAlignment: Image.AlignTop
    smooth: false
}
