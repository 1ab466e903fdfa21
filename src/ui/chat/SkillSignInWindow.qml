import QtQuick
import QtQuick.Layouts
import QtQuick.Window
import Tavo.Store
import Tavo.Kit

// Shown while a skill's sign-in continues in the browser. The browser normally comes back
// through the "tavo:" link; where it doesn't, the user pastes that link here.
Window {
    id: win
    readonly property var auth: Store.skillsAuth
    visible: auth.waiting
    width: 440
    height: column.implicitHeight + 2 * Theme.s5
    minimumWidth: 360
    flags: Qt.Dialog
    modality: Qt.ApplicationModal
    title: "Connect Swiggy"
    color: Theme.surface

    // Made anew for each sign-in (Main.qml), so the fields start empty.
    Component.onCompleted: cancelButton.forceActiveFocus()

    function usePasted() {
        problem.text = win.auth.submitPasted(link.text)
    }

    Shortcut { sequence: "Escape"; enabled: win.visible; onActivated: win.auth.cancel() }
    // Closing the window is a cancel, like its button.
    onClosing: function(close) { win.auth.cancel() }

    ColumnLayout {
        id: column
        anchors.fill: parent
        anchors.margins: Theme.s5
        spacing: Theme.s3

        Text {
            text: "Continue in your browser"
            color: Theme.text
            font.pixelSize: Theme.fontHeading
            font.weight: Font.DemiBold
        }
        Text {
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            text: "Sign in to Swiggy on the page that just opened. When you're done, your browser sends you back to Tavo."
            color: Theme.textDim
            font.pixelSize: Theme.fontBody
        }
        TavoLabel { text: "Browser didn't come back?"; Layout.topMargin: Theme.s2 }
        TavoField {
            id: link
            Layout.fillWidth: true
            placeholderText: "Paste the tavo: link here"
            Accessible.name: "Sign-in link"
            onAccepted: win.usePasted()
        }
        Text {
            id: problem
            visible: text.length > 0
            Layout.fillWidth: true
            wrapMode: Text.WordWrap
            color: Theme.danger
            font.pixelSize: Theme.fontSmall
        }
        RowLayout {
            Layout.fillWidth: true
            Layout.topMargin: Theme.s2
            spacing: Theme.s2
            Item { Layout.fillWidth: true }
            TavoGhostButton {
                id: cancelButton
                text: "Cancel"
                onClicked: win.auth.cancel()
            }
            TavoPrimaryButton {
                text: "Use link"
                enabled: link.text.trim().length > 0
                onClicked: win.usePasted()
            }
        }
    }
}
