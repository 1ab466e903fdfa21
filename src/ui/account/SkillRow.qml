import QtQuick
import QtQuick.Layouts
import Tavo.Store
import Tavo.Kit

// One skill: name, description, state, and Connect or Disconnect (busy while it runs).
Item {
    id: row
    property var skill: ({})
    property bool busy: false
    implicitHeight: layout.implicitHeight

    function press() {
        busy = true
        if (skill.connected) Store.disconnectSkill(skill.id)
        else if (skill.id === "swiggy") Store.connectSwiggy()
        else Qt.callLater(function() { row.busy = false }) // nothing to connect from here
    }

    Connections {
        target: Store
        function onSkillTaskFinished(id) { if (id === row.skill.id) row.busy = false }
    }

    RowLayout {
        id: layout
        width: parent.width
        spacing: Theme.s3
        ColumnLayout {
            Layout.fillWidth: true
            spacing: 2
            Text { text: row.skill.name; color: Theme.text; font.pixelSize: Theme.fontBody; font.weight: Font.DemiBold }
            Text {
                Layout.fillWidth: true
                text: row.skill.description
                wrapMode: Text.WordWrap
                color: Theme.textDim
                font.pixelSize: Theme.fontSmall
            }
            Row {
                spacing: Theme.s2
                TavoStatusDot { anchors.verticalCenter: parent.verticalCenter; state_: row.skill.connected ? "connected" : "offline"; size: 6 }
                Text {
                    objectName: "skillState"
                    text: row.skill.connected ? "Connected" : "Not connected"
                    color: row.skill.connected ? Theme.online : Theme.textFaint
                    font.pixelSize: Theme.fontCaption
                }
            }
        }
        TavoGhostButton {
            objectName: "skillButton"
            text: row.skill.connected ? "Disconnect" : "Connect"
            enabled: !row.busy
            small: true
            Accessible.name: text + " " + row.skill.name
            onClicked: row.press()
        }
    }
}
