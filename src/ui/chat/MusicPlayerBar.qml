import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Tavo.Store
import Tavo.Kit

// The track the assistant started: cover, title and artist, where it plays, play/pause and
// close. It can be dragged out of the way.
Rectangle {
    id: bar
    objectName: "musicBar"
    property point dragOffset: Qt.point(0, 0)
    implicitWidth: 460
    implicitHeight: 64
    radius: 20
    color: Theme.surfaceHigh
    border.color: Theme.strokeStrong
    transform: Translate { x: bar.dragOffset.x; y: bar.dragOffset.y }


    DragHandler {
        id: drag
        target: null
        property point start
        onActiveChanged: if (active) start = bar.dragOffset
        onTranslationChanged: bar.dragOffset = Qt.point(start.x + translation.x, start.y + translation.y)
    }

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: Theme.s2
        anchors.rightMargin: Theme.s2
        spacing: Theme.s3
        Rectangle {
            Layout.preferredWidth: 48
            Layout.preferredHeight: 48
            radius: 12
            color: Theme.inset
            clip: true
            Image {
                id: artwork
                anchors.fill: parent
                source: App.view.musicArtwork
                fillMode: Image.PreserveAspectCrop
                asynchronous: true
                visible: status === Image.Ready
            }
            Glyph { anchors.centerIn: parent; visible: !artwork.visible; name: "music.note"; color: Theme.accent; size: 22 }
        }
        Column {
            Layout.fillWidth: true
            spacing: 2
            Text { objectName: "musicTitle"; width: parent.width; text: App.view.musicTitle; color: Theme.text; font.pixelSize: Theme.fontBody; font.weight: Font.DemiBold; elide: Text.ElideRight; maximumLineCount: 1 }
            Text { width: parent.width; visible: text !== ""; text: App.view.musicArtist; color: Theme.textDim; font.pixelSize: Theme.fontSmall; elide: Text.ElideRight; maximumLineCount: 1 }
        }
        ComboBox {
            id: output
            objectName: "audioOutput"
            Layout.preferredWidth: 44
            model: App.view.audioOutputs
            textRole: "name"
            valueRole: "id"
            Accessible.name: "Audio output"
            Component.onCompleted: currentIndex = Math.max(0, indexOfValue(App.view.audioOutput))
            onActivated: App.view.audioOutput = currentValue
            popup.width: 280
            indicator: null
            contentItem: Item { Glyph { anchors.centerIn: parent; name: "hifispeaker"; color: Theme.accent; size: 18 } }
            background: Rectangle { radius: 12; color: output.hovered ? Theme.inset : "transparent" }
            ToolTip.visible: hovered
            ToolTip.text: output.currentText !== "" ? output.currentText : "Audio output"
        }
        TavoGhostButton {
            objectName: "musicToggle"
            glyph: Store.musicPlaying ? "pause.fill" : "play.fill"
            Accessible.name: Store.musicPlaying ? "Pause" : "Play"
            onClicked: Store.toggleMusic()
        }
        TavoGhostButton { objectName: "musicClose"; glyph: "xmark"; Accessible.name: "Stop music"; onClicked: Store.stopMusic() }
    }
}
