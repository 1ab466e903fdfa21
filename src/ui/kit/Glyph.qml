import QtQuick
import QtQuick.Shapes
import Tavo.Kit

// An icon by its system name, drawn from the bundled icon set in `color` at `size` pixels;
// an unknown name shows nothing.
Item {
    id: glyph
    property string name: ""
    property color color: Theme.textDim
    property real size: Theme.fontBody + 2
    readonly property var table: ({
        "square.grid.2x2": "view-grid",
        "bubble.left": "chat-message-new",
        "clock.arrow.circlepath": "document-open-recent",
        "person": "avatar-default",
        "chevron.down": "pan-down",
        "checkmark": "object-select",
        "xmark": "window-close",
        "plus": "list-add",
        "mic.fill": "audio-input-microphone",
        "arrow.clockwise": "view-refresh",
        "plus.circle.fill": "list-add",
        "line.3.horizontal": "open-menu",
        "square.and.pencil": "document-edit",
        "arrow.right": "go-next",
        "trash": "user-trash",
        "music.note": "emblem-music",
        "play.fill": "media-playback-start",
        "pause.fill": "media-playback-pause",
        "hifispeaker": "audio-speakers",
        "chevron.left": "go-previous"
    })
    readonly property var paths: table[name] !== undefined ? Icons.paths(table[name]) : []
    implicitWidth: size
    implicitHeight: size

    component Part: ShapePath {
        required property int part
        strokeWidth: -1
        fillColor: glyph.color
        fillRule: ShapePath.WindingFill
        PathSvg { path: glyph.paths.length > part ? glyph.paths[part] : "" }
    }

    Shape {
        visible: glyph.paths.length > 0
        width: 16
        height: 16
        anchors.centerIn: parent
        scale: glyph.size / 16
        // Smooth edges: the software renderer paints with antialiasing, the GPU one needs samples.
        antialiasing: true
        layer.enabled: GraphicsInfo.api !== GraphicsInfo.Software
        layer.samples: 4
        // qmllint disable type
        layer.textureSize: Qt.size(Math.ceil(glyph.size) * 2, Math.ceil(glyph.size) * 2) // QML has no integer size
        // qmllint enable type
        Part { part: 0 }
        Part { part: 1 }
        Part { part: 2 }
        Part { part: 3 }
        Part { part: 4 }
        Part { part: 5 }
    }
}
