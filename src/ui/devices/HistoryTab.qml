import QtQuick
import QtQuick.Controls
import Tavo.Store
import Tavo.Kit
import Tavo.Devices

// Everything that happened on every box, latest first; fetched each time the tab shows.
Item {
    id: tab
    Component.onCompleted: App.history.load()
    // Shown before the boxes arrived: fetch again once they have.
    Connections {
        target: Store
        function onDevicesChanged() {
            if (App.devices.count > 0 && App.history.rows.length === 0 && !App.history.loading) App.history.load()
        }
    }

    Column {
        id: head
        width: Math.min(tab.width - 2 * Theme.s5, 720)
        x: (tab.width - width) / 2
        y: Theme.s5
        Text { text: "History"; color: Theme.text; font.pixelSize: Theme.fontTitle; font.weight: Font.Bold }
    }
    Spinner { anchors.centerIn: parent; visible: App.history.loading && App.history.rows.length === 0 }
    Text {
        objectName: "historyEmpty"
        anchors.centerIn: parent
        visible: !App.history.loading && App.history.rows.length === 0
        text: "Nothing here yet."
        color: Theme.textFaint
        font.pixelSize: Theme.fontBody
    }
    ListView {
        objectName: "historyList"
        anchors.top: head.bottom
        anchors.topMargin: Theme.s4
        anchors.bottom: parent.bottom
        width: head.width
        x: head.x
        clip: true
        bottomMargin: 110
        model: App.history.rows
        ScrollBar.vertical: ScrollBar {}
        delegate: HistoryRow { width: ListView.view.width; entry: modelData }
    }
}
