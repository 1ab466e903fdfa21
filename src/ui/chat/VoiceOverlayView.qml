import QtQuick
import QtQuick.Layouts
import Tavo.Store
import Tavo.Kit
import Tavo.Chat

// Full-screen voice: the orb, what was heard and answered. The session starts when the
// overlay appears and ends with it; after a spoken answer it closes itself.
Rectangle {
    id: overlay
    signal closeRequested()
    color: Theme.bg // opaque: the tab underneath would blur what was heard

    function close() {
        voice.cancel() // tells the server and frees the microphone at once
        overlay.closeRequested()
    }

    VoiceSession { id: voice; objectName: "voiceSession"; store: Store }
    Component.onCompleted: voice.start()
    Timer { id: dismiss; objectName: "voiceDismiss"; interval: 900; onTriggered: overlay.close() }
    Connections {
        target: voice
        function onStateChanged() {
            if (voice.state === VoiceService.Idle && voice.spoken !== "") dismiss.start()
            else dismiss.stop()
        }
    }
    MouseArea { anchors.fill: parent } // the tabs underneath take no clicks
    Shortcut { sequence: "Escape"; onActivated: overlay.close() }

    RowLayout {
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.margins: Theme.s5
        Column {
            spacing: 2
            Text { text: "TAVO · VOICE"; color: Theme.accent; font.pixelSize: Theme.fontCaption; font.weight: Font.Bold; font.letterSpacing: 1.6 }
            Text { text: "Speak naturally"; color: Theme.text; font.pixelSize: Theme.fontHeading; font.weight: Font.DemiBold }
        }
        Item { Layout.fillWidth: true }
        TavoGhostButton { objectName: "voiceClose"; glyph: "xmark"; Accessible.name: "Close voice"; onClicked: overlay.close() }
    }

    ColumnLayout {
        anchors.centerIn: parent
        width: Math.min(parent.width - 2 * Theme.s5, 560)
        spacing: Theme.s4
        VxOrb {
            objectName: "voiceOrb"
            Layout.alignment: Qt.AlignHCenter
            Layout.preferredWidth: Math.min(240, overlay.height * 0.34)
            Layout.preferredHeight: Layout.preferredWidth
            state_: voice.state
            onTapped: voice.toggle()
        }
        Text {
            objectName: "voiceLabel"
            Layout.alignment: Qt.AlignHCenter
            text: voice.label
            color: voice.state === VoiceService.Error ? Theme.danger : Theme.textDim
            font.pixelSize: Theme.fontSmall
            font.weight: Font.Bold
            font.letterSpacing: 2
        }
        Text {
            objectName: "voiceError"
            Layout.fillWidth: true
            visible: voice.state === VoiceService.Error && voice.errorText !== ""
            text: voice.errorText
            color: Theme.danger
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            font.pixelSize: Theme.fontSmall
        }
        ListeningDots { Layout.alignment: Qt.AlignHCenter; visible: voice.state === VoiceService.Listening }
        Text {
            objectName: "voiceHeard"
            Layout.fillWidth: true
            visible: text !== ""
            text: voice.heard
            color: voice.heardIsFinal ? Theme.text : Theme.textDim
            font.italic: !voice.heardIsFinal
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            font.pixelSize: Theme.fontHeading
        }
        Text {
            objectName: "voiceSpoken"
            Layout.fillWidth: true
            visible: text !== ""
            text: voice.spoken
            color: Theme.accent
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            font.pixelSize: Theme.fontBody
        }
    }

    Text {
        objectName: "voiceHint"
        anchors.bottom: parent.bottom
        anchors.bottomMargin: Theme.s6
        anchors.horizontalCenter: parent.horizontalCenter
        text: voice.hint
        color: Theme.textFaint
        font.pixelSize: Theme.fontCaption
        font.letterSpacing: 1.6
    }
}
