// Tells Thumbrover which application is in front. GNOME Shell tells no ordinary client which
// window has the focus; this reports it on the session bus as app.thumbrover.FrontApp:
// Front() the identity of the focused window's application (its Wayland app_id, or the class of
// an X window, as Meta gives it), RunningApps() those of the windows there are, and the signal
// FrontChanged whenever the first changes. An empty identity: no window has the focus.
import Gio from 'gi://Gio';
import GLib from 'gi://GLib';
import {Extension} from 'resource:///org/gnome/shell/extensions/extension.js';

const BUS_NAME = 'app.thumbrover.FrontApp';
const OBJECT_PATH = '/app/thumbrover/FrontApp';

export default class ThumbroverFrontApp extends Extension {
    enable() {
        const xml = new TextDecoder().decode(
            this.dir.get_child('app.thumbrover.FrontApp1.xml').load_contents(null)[1]);
        this._object = Gio.DBusExportedObject.wrapJSObject(xml, this);
        this._object.export(Gio.DBus.session, OBJECT_PATH);
        this._name = Gio.bus_own_name_on_connection(
            Gio.DBus.session, BUS_NAME, Gio.BusNameOwnerFlags.NONE, null, null);
        this._last = this.Front();
        this._focus = global.display.connect('notify::focus-window', () => {
            const front = this.Front();
            if (front === this._last)
                return;
            this._last = front;
            this._object.emit_signal('FrontChanged', new GLib.Variant('(s)', [front]));
        });
    }

    disable() {
        global.display.disconnect(this._focus);
        Gio.bus_unown_name(this._name);
        this._object.unexport();
        this._object = null;
    }

    Front() {
        return global.display.focus_window?.get_wm_class() ?? '';
    }

    RunningApps() {
        const ids = new Set();
        for (const actor of global.get_window_actors()) {
            const window = actor.get_meta_window();
            if (window && !window.skip_taskbar)
                ids.add(window.get_wm_class() ?? '');
        }
        ids.delete('');
        return [...ids];
    }
}
