package packager;

import java.util.ArrayList;
import java.util.LinkedHashMap;
import java.util.List;
import java.util.Map;

/**
 * JSON read as the launcher reads config.json (RFC 8259, nothing more): an object is a Map in its keys' order, an
 * array a List, a string a String, a number a Double, true and false a Boolean, null the NULL object.
 */
final class JsonReader {
    /** JSON's null, which a Map of the results could not tell from a missing key. */
    static final Object NULL = new Object();

    /** How deeply arrays and objects may nest: far beyond any config.json, well within the stack. */
    private static final int MAX_DEPTH = 512;

    private final String text;
    private int at;
    private int depth;

    private JsonReader(String text) {
        this.text = text;
    }

    /** The value `text` holds; an IllegalArgumentException says where it is not JSON. */
    static Object parse(String text) {
        final JsonReader reader = new JsonReader(text);
        final Object value = reader.value();
        reader.skipSpace();
        if (reader.at < text.length()) {
            throw reader.error("text after the value");
        }
        return value;
    }

    private Object value() {
        skipSpace();
        if (at >= text.length()) {
            throw error("the end where a value should be");
        }
        final char c = text.charAt(at);
        if ((c == '{' || c == '[') && ++depth > MAX_DEPTH) {
            throw error("arrays and objects nested more than " + MAX_DEPTH + " deep");
        }
        return switch (c) {
            case '{' -> object();
            case '[' -> array();
            case '"' -> string();
            case 't' -> word("true", Boolean.TRUE);
            case 'f' -> word("false", Boolean.FALSE);
            case 'n' -> word("null", NULL);
            default -> number();
        };
    }

    private Map<String, Object> object() {
        final Map<String, Object> members = new LinkedHashMap<>();
        ++at;
        skipSpace();
        if (peek('}')) {
            --depth;
            return members;
        }
        while (true) {
            skipSpace();
            if (at >= text.length() || text.charAt(at) != '"') {
                throw error("no key in quotes");
            }
            final String key = string();
            skipSpace();
            expect(':');
            members.put(key, value());
            skipSpace();
            if (peek('}')) {
                --depth;
                return members;
            }
            expect(',');
        }
    }

    private List<Object> array() {
        final List<Object> elements = new ArrayList<>();
        ++at;
        skipSpace();
        if (peek(']')) {
            --depth;
            return elements;
        }
        while (true) {
            elements.add(value());
            skipSpace();
            if (peek(']')) {
                --depth;
                return elements;
            }
            expect(',');
        }
    }

    private String string() {
        final StringBuilder value = new StringBuilder();
        ++at;
        while (true) {
            if (at >= text.length()) {
                throw error("a string that is never closed");
            }
            final char c = text.charAt(at++);
            if (c == '"') {
                return value.toString();
            }
            if (c < 0x20) {
                throw error("a control character in a string");
            }
            if (c != '\\') {
                value.append(c);
                continue;
            }
            if (at >= text.length()) {
                throw error("a string that is never closed");
            }
            final char escaped = text.charAt(at++);
            switch (escaped) {
                case '"', '\\', '/' -> value.append(escaped);
                case 'b' -> value.append('\b');
                case 'f' -> value.append('\f');
                case 'n' -> value.append('\n');
                case 'r' -> value.append('\r');
                case 't' -> value.append('\t');
                case 'u' -> {
                    if (at + 4 > text.length() || !text.substring(at, at + 4).matches("[0-9A-Fa-f]{4}")) {
                        throw error("a \\u escape without four hexadecimal digits");
                    }
                    value.append((char) Integer.parseInt(text.substring(at, at + 4), 16));
                    at += 4;
                }
                default -> throw error("the escape \\" + escaped);
            }
        }
    }

    private Object word(String word, Object value) {
        if (!text.startsWith(word, at)) {
            throw error("neither a value nor " + word);
        }
        at += word.length();
        return value;
    }

    private Double number() {
        final java.util.regex.Matcher number = java.util.regex.Pattern
                .compile("-?(0|[1-9][0-9]*)(\\.[0-9]+)?([eE][+-]?[0-9]+)?").matcher(text).region(at, text.length());
        if (!number.lookingAt()) {
            throw error("no value");
        }
        at = number.end();
        return Double.valueOf(number.group());
    }

    private void skipSpace() {
        while (at < text.length() && " \t\r\n".indexOf(text.charAt(at)) >= 0) {
            ++at;
        }
    }

    private boolean peek(char c) {
        if (at < text.length() && text.charAt(at) == c) {
            ++at;
            return true;
        }
        return false;
    }

    private void expect(char c) {
        if (!peek(c)) {
            throw error(at < text.length() ? "'" + text.charAt(at) + "' where '" + c + "' should be"
                    : "the end where '" + c + "' should be");
        }
    }

    private IllegalArgumentException error(String what) {
        final String before = text.substring(0, Math.min(at, text.length()));
        final long line = before.chars().filter(c -> c == '\n').count() + 1;
        return new IllegalArgumentException(what + " at line " + line + ", column "
                + (before.length() - before.lastIndexOf('\n')));
    }
}
