package packager;

import java.io.IOException;
import java.io.InputStream;
import java.nio.ByteBuffer;
import java.nio.charset.CharacterCodingException;
import java.nio.charset.CodingErrorAction;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.InvalidPathException;
import java.nio.file.Path;
import java.util.ArrayList;
import java.util.List;

/**
 * The command line with each @FILE replaced by the options FILE holds, read as jpackage reads them, so that a
 * build tool's argument file works for both.
 */
final class ArgumentFiles {
    private ArgumentFiles() {
    }

    /** One word of the command line, and the argument file it came from (null: the command line itself). */
    record Word(String text, Path file) {
    }

    /**
     * The command line with every @FILE read in its place, wherever it stands (an option's value too, as in
     * jpackage). "@@x" stands for the word "@x", and "@" alone for itself. Words inside a file are taken as they
     * are: a file is never read from inside another.
     */
    static List<Word> expand(String[] arguments) throws Stop {
        final List<Word> words = new ArrayList<>();
        for (final String argument : arguments) {
            if (argument.length() > 1 && argument.startsWith("@@")) {
                words.add(new Word(argument.substring(1), null));
            } else if (argument.length() > 1 && argument.startsWith("@")) {
                final Path file = path(argument);
                for (final String word : split(read(file))) {
                    words.add(new Word(word, file));
                }
            } else {
                words.add(new Word(argument, null));
            }
        }
        return words;
    }

    private static Path path(String argument) throws Stop {
        try {
            return Path.of(argument.substring(1));
        } catch (InvalidPathException notAPath) {
            throw Stop.refused("argument file " + argument + " is not a path this system can name ("
                    + notAPath.getReason() + ")");
        }
    }

    /** Far more than any build tool writes; what is larger is not a file of options (a device, a log, an image). */
    static final int LARGEST_FILE = 16 << 20;

    private static String read(Path file) throws Stop {
        final byte[] bytes;
        try {
            if (Files.isDirectory(file)) {
                throw Stop.refused("argument file " + Text.quote(file) + " is a folder; give a file of options after @");
            }
            // Read to the limit only, so that a huge file or one without end (/dev/zero) is refused, not held.
            try (InputStream in = Files.newInputStream(file)) {
                bytes = in.readNBytes(LARGEST_FILE + 1);
            }
        } catch (IOException | SecurityException unreadable) {
            throw Stop.refused("cannot read the argument file " + Text.quote(file) + ": " + Text.describe(unreadable));
        }
        if (bytes.length > LARGEST_FILE) {
            throw Stop.refused("the argument file " + Text.quote(file) + " is larger than " + (LARGEST_FILE >> 20)
                    + " MiB; an argument file holds options, give one that does");
        }
        final String text;
        try {
            text = StandardCharsets.UTF_8.newDecoder().onMalformedInput(CodingErrorAction.REPORT)
                    .onUnmappableCharacter(CodingErrorAction.REPORT).decode(ByteBuffer.wrap(bytes)).toString();
        } catch (CharacterCodingException notUtf8) {
            throw Stop.refused("the argument file " + Text.quote(file) + " is not UTF-8 text; save it as UTF-8");
        }
        // Windows editors often begin UTF-8 with a byte-order mark; it is no part of the first option.
        return text.startsWith("\uFEFF") ? text.substring(1) : text;
    }

    /**
     * The words of an argument file as jpackage splits them. Spaces, tabs and form feeds separate words outside
     * quotes; a line break always ends a word, a quoted one too. A pair of double or single quotes keeps what it
     * holds together and is left out. Inside quotes a backslash takes the next character as it is, or \n, \r, \t
     * and \f for those characters; a backslash at the end of a line joins the next line to it, without the
     * next line's leading whitespace. Outside quotes a backslash is a character like any other. A # where a word
     * would begin starts a comment up to the end of its line.
     */
    static List<String> split(String text) {
        final List<String> words = new ArrayList<>();
        int i = 0;
        while (true) {
            i = skipSpaceAndComments(text, i);
            if (i >= text.length()) {
                return words;
            }
            final StringBuilder word = new StringBuilder();
            char quote = 0;
            wordLoop:
            while (i < text.length()) {
                char c = text.charAt(i);
                switch (c) {
                    case ' ', '\t', '\f' -> {
                        if (quote == 0) {
                            break wordLoop;
                        }
                        word.append(c);
                    }
                    case '\n', '\r' -> {
                        break wordLoop;
                    }
                    case '"', '\'' -> {
                        if (quote == 0) {
                            quote = c;
                        } else if (quote == c) {
                            quote = 0;
                        } else {
                            word.append(c);
                        }
                    }
                    case '\\' -> {
                        if (quote != 0 && i + 1 < text.length()) {
                            c = text.charAt(++i);
                            if (c == '\n' || c == '\r') {
                                while (i < text.length() && " \t\f\n\r".indexOf(text.charAt(i)) >= 0) {
                                    ++i;
                                }
                                continue;
                            }
                            c = switch (c) {
                                case 'n' -> '\n';
                                case 'r' -> '\r';
                                case 't' -> '\t';
                                case 'f' -> '\f';
                                default -> c;
                            };
                        }
                        word.append(c);
                    }
                    default -> word.append(c);
                }
                ++i;
            }
            words.add(word.toString());
        }
    }

    private static int skipSpaceAndComments(String text, int from) {
        int i = from;
        while (i < text.length()) {
            final char c = text.charAt(i);
            if (c == '#') {
                while (i < text.length() && text.charAt(i) != '\n' && text.charAt(i) != '\r') {
                    ++i;
                }
            } else if (" \t\f\n\r".indexOf(c) < 0) {
                return i;
            } else {
                ++i;
            }
        }
        return i;
    }
}
