package packager;

import java.util.regex.Matcher;
import java.util.regex.Pattern;

/**
 * The Maintainer of a Debian package, a contact "NAME <ADDRESS>" in the syntax of mail addresses, as Debian's
 * tools read it: a name holding a comma or another special character of that syntax is quoted, or it would
 * read as two contacts, a comment or a malformed one.
 */
final class DebianContact {
    /**
     * The address of a package whose maintainer gives none: one in the domain .invalid, which is reserved
     * never to exist, so that no mail goes astray; lintian accepts it, as it does not accept localhost.
     */
    static final String NO_ADDRESS = "nobody@example.invalid";

    private static final Pattern ADDRESS =
            Pattern.compile("[A-Za-z0-9!#$%&'*+/=?^_`{|}~.-]+@[A-Za-z0-9-]+(\\.[A-Za-z0-9-]+)*");
    /** NAME <ADDRESS>, NAME possibly empty. */
    private static final Pattern FULL = Pattern.compile("(.*?)\\s*<([^<>]*)>");
    /** A name already quoted, with \ before a quote or backslash inside. */
    private static final Pattern QUOTED = Pattern.compile("\"([^\"\\\\]|\\\\.)+\"");
    private static final Pattern SPECIAL = Pattern.compile("[()<>\\[\\]:;@\\\\,\"]");

    private DebianContact() {
    }

    /** Why --linux-deb-maintainer, an address or a full contact, cannot be the Maintainer; null when it can. */
    static String whyNotAContact(String maintainer) {
        final Matcher full = FULL.matcher(maintainer.strip());
        final String address = full.matches() ? full.group(2) : maintainer.strip();
        if (!ADDRESS.matcher(address).matches()) {
            return "is neither an e-mail address, such as dev@example.com, nor a name and an address, such as "
                    + "\"Example Ltd <dev@example.com>\" (the address in ASCII letters, digits and the characters "
                    + "of mail addresses); give one of them";
        }
        return null;
    }

    /**
     * The Maintainer field: --linux-deb-maintainer with a name as it is, else `name` with its address
     * (NO_ADDRESS when `maintainer` is null); either name quoted where the syntax needs it.
     */
    static String of(String name, String maintainer) {
        if (maintainer == null) {
            return phrase(name) + " <" + NO_ADDRESS + ">";
        }
        final Matcher full = FULL.matcher(maintainer.strip());
        if (!full.matches()) {
            return phrase(name) + " <" + maintainer.strip() + ">";
        }
        return phrase(full.group(1).isEmpty() ? name : full.group(1)) + " <" + full.group(2) + ">";
    }

    /** A name as the phrase of a contact: as it is, or in quotes when it holds one of ( ) < > [ ] : ; @ \ , ". */
    static String phrase(String name) {
        if (QUOTED.matcher(name).matches() || !SPECIAL.matcher(name).find()) {
            return name;
        }
        return "\"" + name.replace("\\", "\\\\").replace("\"", "\\\"") + "\"";
    }
}
