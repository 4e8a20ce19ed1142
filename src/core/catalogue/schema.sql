-- The catalogue shipped with the programs (local.mdb). One table, RngFileInfo.
-- Column names are matched without regard to case, as both programs expect.
-- FileID is the row key, so look-ups by FileID and the view's order are index walks.
-- LastDateTime is stored as ISO text "yyyy-MM-ddTHH:mm:ss" (local time, whole seconds).
PRAGMA journal_mode = WAL;

CREATE TABLE IF NOT EXISTS RngFileInfo (
    FileID       INTEGER PRIMARY KEY NOT NULL,
    FileName     TEXT,               -- at most 200 characters
    SongLength   INTEGER,
    StarLv       INTEGER,
    AuthorName   TEXT DEFAULT '',    -- at most 50 characters
    FilePath     TEXT DEFAULT '',    -- at most 200 characters
    FileSize     INTEGER,
    FileType     INTEGER,
    WebLink      TEXT,               -- at most 200 characters
    WebLink1     TEXT,
    WebLink2     TEXT,
    WebLink3     TEXT,
    WebLink4     TEXT,
    WebLink5     TEXT,
    MD5Code      TEXT,               -- at most 200 characters
    FileState    INTEGER DEFAULT 0,
    BookID       INTEGER,
    IsNew        INTEGER DEFAULT 0,
    LastDateTime TEXT
);

-- The completion statement marks rows by their checksum text.
CREATE INDEX IF NOT EXISTS RngFileInfo_MD5Code ON RngFileInfo (MD5Code);
