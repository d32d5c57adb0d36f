package packager;

import java.util.HashMap;
import java.util.List;
import java.util.Map;
import java.util.Optional;

/** File names as Windows compares them: letter case aside, so that "Config.json" is the file "config.json". */
final class WindowsNames {
    private WindowsNames() {
    }

    /**
     * The form in which Windows sees two names as one: each UTF-16 unit upper-cased on its own, without a locale,
     * as NTFS's table of capitals does. "ß" stays "ß" (not "SS"), and "é" and "e" with a combining accent stay two.
     */
    static String key(String name) {
        final char[] units = name.toCharArray();
        for (int i = 0; i < units.length; ++i) {
            units[i] = Character.toUpperCase(units[i]);
        }
        return new String(units);
    }

    /**
     * Whether Windows takes the name for a device, whatever its extension: CON, CON.txt, com1.jar and COM\u00b9
     * (a superscript digit) alike.
     */
    static boolean isDevice(String name) {
        final int dot = name.indexOf('.');
        final String stem = (dot < 0 ? name : name.substring(0, dot)).stripTrailing();
        return stem.matches("(?i)CON|PRN|AUX|NUL|CONIN\\$|CONOUT\\$|COM[1-9\u00b9\u00b2\u00b3]|LPT[1-9\u00b9\u00b2\u00b3]");
    }

    static boolean same(String one, String other) {
        return key(one).equals(key(other));
    }

    /** The first two of `names` that Windows takes for one file, in their order; empty if there are none. */
    static Optional<List<String>> firstClash(List<String> names) {
        final Map<String, String> byKey = new HashMap<>();
        for (final String name : names) {
            final String earlier = byKey.putIfAbsent(key(name), name);
            if (earlier != null) {
                return Optional.of(List.of(earlier, name));
            }
        }
        return Optional.empty();
    }
}
