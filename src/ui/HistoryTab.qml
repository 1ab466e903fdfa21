import QtQuick
import QtQuick.Controls
import Tavo

// Everything that happened on every box, latest first; fetched each time the tab shows.
Item {
    id: tab
    ActivityFeed { id: feed; objectName: "historyFeed"; store: Store; deviceID: 0 }
    Component.onCompleted: feed.load()
    // Shown before the boxes arrived: fetch again once they have.
    DeviceModel { store: Store; onCountChanged: if (count > 0 && feed.rows.length === 0 && !feed.loading) feed.load() }

    Column {
        id: head
        width: Math.min(tab.width - 2 * Theme.s5, 720)
        x: (tab.width - width) / 2
        y: Theme.s5
        Text { text: "History"; color: Theme.text; font.pixelSize: Theme.fontTitle; font.weight: Font.Bold }
    }
    Spinner { anchors.centerIn: parent; visible: feed.loading && feed.rows.length === 0 }
    Text {
        objectName: "historyEmpty"
        anchors.centerIn: parent
        visible: !feed.loading && feed.rows.length === 0
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
        model: feed.rows
        ScrollBar.vertical: ScrollBar {}
        delegate: HistoryRow { width: ListView.view.width; entry: modelData }
    }
}
