import QtQuick
import Tavo.Store
import Tavo.Kit
import Tavo.SignIn

// Phone number entry.
SignInFrame {
    id: view
    property var country: Input.defaultCountry()
    property string national: ""
    readonly property bool canSend: Input.canSendCode(national, Store.busy)

    function send() {
        if (!canSend) return
        Store.phone = Input.composePhone(country.dial, national)
        Store.sendOTP()
    }

    Component.onCompleted: {
        if (Store.phone.length > 0 && national.length === 0) {
            const split = Input.refill(Store.phone)
            if (split.iso.length > 0) country = Input.country(split.iso)
            national = split.national
        }
    }

    TavoBrand { tag: "HOME AUTOMATION" }
    Item { width: 1; height: Theme.s2 }
    Text {
        text: "Sign in"
        color: Theme.text
        font.pixelSize: Theme.fontTitle
        font.weight: Font.Bold
    }
    Text {
        width: parent.width
        wrapMode: Text.Wrap
        text: "We'll send a code to your WhatsApp."
        color: Theme.textDim
        font.pixelSize: Theme.fontBody
    }
    Item { width: 1; height: Theme.s1 }
    TavoLabel { text: "Phone number" }
    PhonePickerField {
        id: phoneField
        width: parent.width
        country: view.country
        national: view.national
        placeholder: "98765 43210"
        onCountryPicked: c => view.country = c
        onNationalEdited: n => view.national = n
        onAccepted: view.send()
    }
    TavoPrimaryButton {
        objectName: "sendCode"
        width: parent.width
        text: Store.busy ? "Sending…" : "Send code"
        enabled: view.canSend
        onClicked: view.send()
    }
}
