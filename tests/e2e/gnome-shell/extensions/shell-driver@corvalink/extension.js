// Runs JavaScript in the shell for Corvalink's tests, which read the shell's
// windows and click the menus it draws; the shell's own Eval works only in its
// unsafe mode, which a headless shell offers no way to turn on.
const { Gio } = imports.gi;
// The shell's modules, for the code the tests send.
const Main = imports.ui.main; // eslint-disable-line no-unused-vars

const iface = `<node><interface name="org.corvalink.ShellDriver">
  <method name="Eval"><arg type="s" direction="in"/><arg type="s" direction="out"/></method>
</interface></node>`;

class Extension {
    enable() {
        this._object = Gio.DBusExportedObject.wrapJSObject(iface, this);
        this._object.export(Gio.DBus.session, '/org/corvalink/ShellDriver');
        this._name = Gio.bus_own_name(Gio.BusType.SESSION, 'org.corvalink.ShellDriver', 0, null, null, null);
    }

    disable() {
        this._object.unexport();
        Gio.bus_unown_name(this._name);
    }

    Eval(code) {
        try {
            return JSON.stringify(eval(code)) ?? 'undefined';
        } catch (error) {
            return `error: ${error}`;
        }
    }
}

function init() {
    return new Extension();
}
