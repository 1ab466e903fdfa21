import QtQuick
import Tavo.Store
import Tavo.Kit
import Tavo.SignIn

// Six-digit code entry.
SignInFrame {
    id: view
    property string code: ""
    readonly property bool canVerify: Input.canVerify(code, Store.busy)

    TavoBrand { tag: "VERIFY" }
    Item { width: 1; height: Theme.s2 }
    Text {
        text: "Enter code"
        color: Theme.text
        font.pixelSize: Theme.fontTitle
        font.weight: Font.Bold
    }
    Text {
        width: parent.width
        wrapMode: Text.Wrap
        text: "Sent to " + Input.formatPhone(Store.phone)
        color: Theme.textDim
        font.pixelSize: Theme.fontBody
    }
    Item { width: 1; height: Theme.s1 }
    TavoLabel { text: "6-digit code" }
    TavoField {
        id: codeField
        objectName: "codeField"
        width: parent.width
        focus: true
        inputMethodHints: Qt.ImhDigitsOnly
        font.pixelSize: 22
        font.letterSpacing: 6
        text: view.code
        onTextEdited: {
            view.code = Input.codeInput(text)
            if (text !== view.code) text = view.code
        }
        onAccepted: if (view.canVerify) Store.verifyOTP(view.code)
    }
    TavoPrimaryButton {
        objectName: "verify"
        width: parent.width
        text: Store.busy ? "Verifying…" : "Verify"
        enabled: view.canVerify
        onClicked: Store.verifyOTP(view.code)
    }
    TavoGhostButton {
        objectName: "differentNumber"
        anchors.horizontalCenter: parent.horizontalCenter
        text: "Use a different number"
        onClicked: Store.showAuth()
    }
}
