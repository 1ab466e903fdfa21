import QtQuick
import Tavo

// Symbols by their system names, drawn from glyphs the bundled fonts have; an unknown name
// shows nothing.
Text {
    property string name: ""
    readonly property var table: ({
        "square.grid.2x2": "▦",
        "bubble.left": "✉",
        "clock.arrow.circlepath": "↻",
        "person": "☺",
        "chevron.down": "▾",
        "checkmark": "✓",
        "xmark": "✕",
        "plus": "+",
        "bolt.fill": "⚡",
        "arrow.clockwise": "↻",
        "plus.circle.fill": "⊕",
        "line.3.horizontal": "☰",
        "square.and.pencil": "✎",
        "arrow.right": "→",
        "trash": "⌫",
        "music.note": "♪",
        "play.fill": "▶",
        "pause.fill": "❚❚",
        "hifispeaker": "◉",
        "chevron.left": "‹"
    })
    text: table[name] !== undefined ? table[name] : ""
    color: Theme.textDim
    font.pixelSize: Theme.fontBody
}
