import QtQuick
import QtQuick.Controls
import Tavo.Store
import Tavo.Kit

// The country list with search, as a sheet over the window.
Popup {
    id: sheet
    property string selectedIso: ""
    property bool open_: false
    signal picked(var country)
    signal closed_()
    parent: Overlay.overlay
    anchors.centerIn: parent
    width: Math.min(parent ? parent.width - 2 * Theme.s5 : 420, 440)
    height: Math.min(parent ? parent.height - 2 * Theme.s5 : 560, 600)
    modal: true
    visible: open_
    padding: Theme.s5
    onClosed: { search.text = ""; closed_() }
    Overlay.modal: Rectangle { color: "#99000000" }
    background: Rectangle { radius: Theme.radiusCard; color: Theme.surface; border.color: Theme.stroke }


    contentItem: Column {
        spacing: Theme.s3
        Item {
            width: parent.width
            height: 40
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: "Pick country"
                color: Theme.text
                font.pixelSize: Theme.fontHeading
                font.weight: Font.DemiBold
            }
            TavoGhostButton {
                objectName: "closeCountries"
                anchors.right: parent.right
                anchors.verticalCenter: parent.verticalCenter
                text: "Close"
                small: true
                onClicked: sheet.close()
            }
        }
        TavoField {
            id: search
            objectName: "countrySearch"
            width: parent.width
            placeholderText: "Search country or dial code"
            onTextChanged: App.countries.query = text
        }
        ListView {
            id: list
            objectName: "countryList"
            width: parent.width
            height: sheet.availableHeight - 40 - Theme.controlHeight - 2 * Theme.s3
            clip: true
            model: App.countries
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar {}
            delegate: ItemDelegate {
                id: rowItem
                required property string iso
                required property string dial
                required property string name
                required property string flag
                required property int index
                width: list.width
                height: 46
                onClicked: sheet.picked(Input.country(iso))
                background: Rectangle {
                    color: rowItem.hovered ? Theme.surfaceHigh : "transparent"
                    radius: 8
                    Rectangle { anchors.bottom: parent.bottom; width: parent.width; height: 1; color: Theme.stroke; visible: rowItem.index < list.count - 1 }
                }
                contentItem: Item {
                    Text { id: f; anchors.verticalCenter: parent.verticalCenter; text: rowItem.flag; font.pixelSize: 18; color: Theme.text }
                    Text {
                        anchors.left: f.right; anchors.leftMargin: Theme.s3
                        anchors.right: dialText.left; anchors.rightMargin: Theme.s2
                        anchors.verticalCenter: parent.verticalCenter
                        text: rowItem.name; elide: Text.ElideRight; color: Theme.text; font.pixelSize: Theme.fontBody
                    }
                    Text {
                        id: dialText
                        anchors.right: check.left; anchors.rightMargin: Theme.s2
                        anchors.verticalCenter: parent.verticalCenter
                        text: "+" + rowItem.dial; color: Theme.textDim; font.pixelSize: Theme.fontBody
                    }
                    Glyph {
                        id: check
                        objectName: "check_" + rowItem.iso
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        width: 18
                        name: "checkmark"
                        color: Theme.accent
                        visible: rowItem.iso === sheet.selectedIso
                    }
                }
            }
        }
    }
}
