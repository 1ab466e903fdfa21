import QtQuick
import Tavo.Store
import Tavo.Kit
import Tavo.Setup

// On the box's hotspot: confirm the home WiFi it should join.
AddCard {
    objectName: "portalCard"
    Row {
        spacing: Theme.s2
        TavoStatusDot { anchors.verticalCenter: parent.verticalCenter; state_: "connected" }
        Text {
            objectName: "foundAt"
            text: Store.provHeadline
            color: Theme.text
            font.pixelSize: Theme.fontBody
            font.weight: Font.DemiBold
        }
    }
    Text {
        width: parent.width
        wrapMode: Text.Wrap
        text: "We've prefilled your home WiFi from the last setup. Confirm or override — the box will take it from here."
        color: Theme.textDim
        font.pixelSize: Theme.fontBody
    }
    TavoLabel { text: "Home WiFi SSID" }
    TavoField {
        objectName: "ssidField"
        width: parent.width
        placeholderText: "HomeWiFi"
        text: Store.provHomeSSID
        onTextEdited: Store.provHomeSSID = text
        onAccepted: passField.forceActiveFocus()
    }
    TavoLabel { text: "Password" }
    TavoField {
        id: passField
        objectName: "passField"
        width: parent.width
        echoMode: TextInput.Password
        text: Store.provHomePass
        onTextEdited: Store.provHomePass = text
        onAccepted: Store.provisionSubmit()
    }
    TavoPrimaryButton {
        objectName: "connectBox"
        width: parent.width
        text: Store.busy ? "Sending…" : "Connect this box to WiFi"
        onClicked: Store.provisionSubmit()
    }
}
