package packager;

import java.nio.charset.Charset;
import java.nio.file.AccessDeniedException;
import java.nio.file.DirectoryNotEmptyException;
import java.nio.file.NoSuchFileException;
import java.nio.file.Path;

/** Texts for messages and for the files the packager writes. */
final class Text {
    private Text() {
    }

    /** The encoding file names and the command line are read in: the locale's (LC_ALL, LC_CTYPE, LANG). */
    static Charset namesEncoding() {
        try {
            return Charset.forName(System.getProperty("sun.jnu.encoding"));
        } catch (IllegalArgumentException unknown) {
            return Charset.defaultCharset();
        }
    }

    /** A failure as a user reads it: what happened, then the path it happened to. */
    static String describe(Exception failure) {
        String text = failure.getMessage() == null ? failure.getClass().getSimpleName() : failure.getMessage();
        if (failure instanceof AccessDeniedException) {
            text = "permission denied: " + text;
        } else if (failure instanceof NoSuchFileException) {
            text = "no such file: " + text;
        } else if (failure instanceof DirectoryNotEmptyException) {
            text = "folder not empty: " + text;
        }
        return text;
    }

    /**
     * A relative path with "/" between its names, as archives, packages and config.json hold it on any host: on
     * Windows in place of "\\"; on Linux, where "\\" is a letter of a name, that letter kept.
     */
    static String slashed(Path relative) {
        final StringBuilder names = new StringBuilder();
        for (final Path name : relative) {
            names.append(names.length() == 0 ? "" : "/").append(name);
        }
        return names.toString();
    }

    /** A path or other name in a message, in quotes, so that spaces and punctuation in it read as its own. */
    static String quote(Object path) {
        return "\"" + path + "\"";
    }

    /** Whether a character breaks a line of text or controls a terminal: a control character or a separator. */
    static boolean breaksALine(int c) {
        return Character.isISOControl(c) || Character.getType(c) == Character.LINE_SEPARATOR
                || Character.getType(c) == Character.PARAGRAPH_SEPARATOR;
    }

    /** Whether the text holds half of a UTF-16 surrogate pair alone, which no file or encoding can hold. */
    static boolean hasLoneSurrogate(String text) {
        for (int i = 0; i < text.length(); ++i) {
            final char c = text.charAt(i);
            if (Character.isHighSurrogate(c) && i + 1 < text.length() && Character.isLowSurrogate(text.charAt(i + 1))) {
                ++i;
            } else if (Character.isSurrogate(c)) {
                return true;
            }
        }
        return false;
    }

    /**
     * The text broken at spaces into lines of at most `width` characters (a longer word on a line of its own), its
     * leading spaces kept and the lines after the first begun with `indent`.
     */
    static String wrap(String text, int width, String indent) {
        final String words = text.stripLeading();
        final StringBuilder wrapped = new StringBuilder(text.substring(0, text.length() - words.length()));
        int lineStart = 0;
        int wordsOnLine = 0;
        for (final String word : words.split(" +")) {
            if (wordsOnLine > 0 && wrapped.length() - lineStart + 1 + word.length() > width) {
                wrapped.append('\n');
                lineStart = wrapped.length();
                wrapped.append(indent);
                wordsOnLine = 0;
            }
            wrapped.append(wordsOnLine > 0 ? " " : "").append(word);
            ++wordsOnLine;
        }
        return wrapped.toString();
    }

    /** A JSON string: quotes, backslashes and control characters escaped, everything else as it is (UTF-8). */
    static String json(String text) {
        final StringBuilder quoted = new StringBuilder("\"");
        for (final char c : text.toCharArray()) {
            switch (c) {
                case '"' -> quoted.append("\\\"");
                case '\\' -> quoted.append("\\\\");
                case '\n' -> quoted.append("\\n");
                case '\r' -> quoted.append("\\r");
                case '\t' -> quoted.append("\\t");
                default -> {
                    if (c < 0x20) {
                        quoted.append(String.format("\\u%04x", (int) c));
                    } else {
                        quoted.append(c);
                    }
                }
            }
        }
        return quoted.append('"').toString();
    }
}
