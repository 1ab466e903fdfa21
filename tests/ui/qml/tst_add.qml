import QtQuick
import QtTest
import Tavo.Store
import Tavo.Setup

ScreenCase {
    id: tc
    name: "AddBox"

    Component { id: add; AddView { anchors.fill: parent } }

    function initTestCase() { Hub.reset(); verify(Hub.signInDemo()) }
    function init() { Hub.clearToast(); Hub.stopBox(); Store.endProvision(); Store.showAdd() }
    function cleanup() { Hub.stopBox() }

    function test_noHotspotOffersRetryAndThePairCode() {
        const view = shown(add)
        verify(findChild(view, "searchingCard") || Store.provKind === "needsAP")
        shot(view, "add-searching")
        tryVerify(() => findChild(view, "needsAPCard") !== null)
        compare(findChild(view, "searchingCard"), null)
        shot(view, "add-needs-hotspot")
        // No daemon here: the browser fails and the section says so, with its note.
        tryCompare(findChild(view, "discoveryTitle"), "text", "Nothing found yet")
        compare(findChild(view, "discoveryDot").state_, "offline")
        verify(findChild(view, "mdnsNote").visible)
        mouseClick(findChild(view, "pairCode"))
        compare(Store.provKind, "manualPair")
        verify(findChild(view, "manualPairCard"))
        mouseClick(findChild(view, "cancel"))
        compare(Store.screenName, "home")
        compare(Store.provKind, "idle")
    }

    // The pair code is shaped as typed and gates the claim; a refused code shows its error and
    // the set-up card goes, the screen stays.
    function test_manualPairCode() {
        const view = shown(add)
        tryVerify(() => Store.provKind === "needsAP")
        Store.showManualPair()
        const field = findChild(view, "pairCodeField")
        const claim = findChild(view, "claimBox")
        typeInto(field, "abcd1234")
        compare(field.text, "ABCD-1234")
        verify(claim.enabled)
        shot(view, "add-manual-pair")
        keyClick(Qt.Key_Backspace)
        compare(field.text, "ABCD-123")
        verify(!claim.enabled)
        typeInto(field, "zzzz9999")
        mouseClick(claim)
        tryCompare(Store, "provKind", "idle")
        compare(findChild(view, "manualPairCard"), null)
        verify(Store.toastIsError)
        compare(Store.toast, "Unknown or already used pair code")
        compare(Store.screenName, "add")
    }

    // A box on its hotspot, found: the portal with the home network typed in.
    function atPortal(name) {
        verify(Hub.startBox(["--name", name, "--join-delay-ms", "200"]))
        const view = shown(add)
        tryVerify(() => findChild(view, "portalCard") !== null, 5000)
        compare(findChild(view, "foundAt").text, "Found box at 127.0.0.1")
        typeInto(findChild(view, "ssidField"), "Home Net")
        return view
    }

    function test_hotspotRoadClaimsTheBox() {
        const view = atPortal("Tavo-9F00")
        typeInto(findChild(view, "passField"), "secret")
        shot(view, "add-portal")
        mouseClick(findChild(view, "connectBox"))
        tryVerify(() => findChild(view, "busyCard") !== null)
        shot(view, "add-sending")
        tryCompare(Store, "provKind", "waitingForCloud", 5000)
        compare(findChild(view, "busyText").text, "Waiting for the box to reach the cloud…")
        shot(view, "add-waiting-for-cloud")
        verify(Hub.pumpSetup("idle"))
        compare(Store.screenName, "home")
    }

    // The automatic claim could not reach the cloud: the code the box showed is on the card,
    // and one press claims the box with it.
    function test_aCodeTheBoxShowedIsKept() {
        const view = atPortal("Tavo-9F01")
        Hub.post("/dev/fail-next", {method: "POST", path: "/v1/device/claim", status: 503, error: "Try again later"})
        mouseClick(findChild(view, "connectBox"))
        tryCompare(Store, "provKind", "waitingForCloud", 5000)
        verify(Hub.pumpSetup("manualPair"))
        compare(Store.toast, "Try again later")
        const field = findChild(view, "pairCodeField")
        verify(Store.provPairCode.length === 9, Store.provPairCode)
        compare(field.text, Store.provPairCode)
        const claim = findChild(view, "claimBox")
        verify(claim.enabled)
        shot(view, "add-manual-pair-kept")
        mouseClick(claim)
        tryCompare(Store, "screenName", "home")
    }
}
