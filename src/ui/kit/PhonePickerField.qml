import QtQuick
import QtQuick.Controls
import Tavo.Kit

// The country button and the national number in one row.
Item {
    id: row
    property var country
    property string national: ""
    property string placeholder: ""
    property bool pickerOpen: false
    signal countryPicked(var country)
    signal nationalEdited(string national)
    signal accepted()
    implicitHeight: Theme.controlHeight

    Button {
        id: countryButton
        objectName: "countryButton"
        width: 112
        height: parent.height
        onClicked: row.pickerOpen = true
        contentItem: Row {
            spacing: Theme.s2
            Text { anchors.verticalCenter: parent.verticalCenter; text: row.country.flag; font.pixelSize: 18; color: Theme.text }
            Text { anchors.verticalCenter: parent.verticalCenter; text: "+" + row.country.dial; font.pixelSize: Theme.fontBody; color: Theme.text }
            Glyph { anchors.verticalCenter: parent.verticalCenter; name: "chevron.down"; size: Theme.fontSmall + 2 }
        }
        background: Rectangle {
            radius: Theme.radiusField
            color: countryButton.hovered ? Theme.surfaceHigh : Theme.inset
            border.color: Theme.stroke
        }
    }
    TavoField {
        id: numberField
        objectName: "nationalField"
        anchors.left: countryButton.right
        anchors.leftMargin: Theme.s2
        anchors.right: parent.right
        height: parent.height
        placeholderText: row.placeholder
        inputMethodHints: Qt.ImhDigitsOnly
        text: row.national
        onTextEdited: {
            const clean = Input.digits(text)
            if (clean !== text) text = clean
            row.nationalEdited(clean)
        }
        onAccepted: row.accepted()
    }
    CountryPickerSheet {
        selectedIso: row.country.iso
        open_: row.pickerOpen
        onPicked: c => { row.countryPicked(c); row.pickerOpen = false }
        onClosed_: row.pickerOpen = false
    }
}
