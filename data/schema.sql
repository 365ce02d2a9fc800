-- Tables of both databases. Text lookups (addresses, class texts, setting
-- names) ignore letter case, like names everywhere else in the program.

-- @database data.mdb

-- One collected record per row: grid column j goes to column c(j+1). The
-- program addresses the columns by position and adds more when a wider grid
-- is saved.
CREATE TABLE datalist (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  c1 TEXT, c2 TEXT, c3 TEXT, c4 TEXT, c5 TEXT, c6 TEXT, c7 TEXT, c8 TEXT, c9 TEXT, c10 TEXT,
  c11 TEXT, c12 TEXT, c13 TEXT, c14 TEXT, c15 TEXT, c16 TEXT, c17 TEXT, c18 TEXT, c19 TEXT, c20 TEXT,
  c21 TEXT, c22 TEXT, c23 TEXT, c24 TEXT, c25 TEXT, c26 TEXT, c27 TEXT, c28 TEXT, c29 TEXT, c30 TEXT,
  c31 TEXT, c32 TEXT, c33 TEXT, c34 TEXT, c35 TEXT, c36 TEXT, c37 TEXT, c38 TEXT, c39 TEXT, c40 TEXT,
  c41 TEXT, c42 TEXT, c43 TEXT, c44 TEXT, c45 TEXT, c46 TEXT, c47 TEXT, c48 TEXT, c49 TEXT, c50 TEXT,
  c51 TEXT, c52 TEXT, c53 TEXT, c54 TEXT, c55 TEXT, c56 TEXT, c57 TEXT, c58 TEXT, c59 TEXT, c60 TEXT,
  c61 TEXT, c62 TEXT, c63 TEXT, c64 TEXT, c65 TEXT, c66 TEXT, c67 TEXT, c68 TEXT, c69 TEXT, c70 TEXT,
  c71 TEXT, c72 TEXT, c73 TEXT, c74 TEXT, c75 TEXT, c76 TEXT, c77 TEXT, c78 TEXT, c79 TEXT, c80 TEXT,
  c81 TEXT, c82 TEXT, c83 TEXT, c84 TEXT, c85 TEXT, c86 TEXT, c87 TEXT, c88 TEXT, c89 TEXT, c90 TEXT,
  c91 TEXT, c92 TEXT, c93 TEXT, c94 TEXT, c95 TEXT, c96 TEXT, c97 TEXT, c98 TEXT, c99 TEXT, c100 TEXT,
  c101 TEXT, c102 TEXT, c103 TEXT, c104 TEXT, c105 TEXT, c106 TEXT, c107 TEXT, c108 TEXT, c109 TEXT, c110 TEXT,
  c111 TEXT, c112 TEXT, c113 TEXT, c114 TEXT, c115 TEXT, c116 TEXT, c117 TEXT, c118 TEXT, c119 TEXT, c120 TEXT,
  c121 TEXT, c122 TEXT, c123 TEXT, c124 TEXT, c125 TEXT, c126 TEXT, c127 TEXT, c128 TEXT, c129 TEXT, c130 TEXT,
  c131 TEXT, c132 TEXT, c133 TEXT, c134 TEXT, c135 TEXT, c136 TEXT, c137 TEXT, c138 TEXT, c139 TEXT, c140 TEXT,
  c141 TEXT, c142 TEXT, c143 TEXT, c144 TEXT, c145 TEXT, c146 TEXT, c147 TEXT, c148 TEXT, c149 TEXT, c150 TEXT,
  c151 TEXT, c152 TEXT, c153 TEXT, c154 TEXT, c155 TEXT, c156 TEXT, c157 TEXT, c158 TEXT, c159 TEXT, c160 TEXT,
  c161 TEXT, c162 TEXT, c163 TEXT, c164 TEXT, c165 TEXT, c166 TEXT, c167 TEXT, c168 TEXT, c169 TEXT, c170 TEXT,
  c171 TEXT, c172 TEXT, c173 TEXT, c174 TEXT, c175 TEXT, c176 TEXT, c177 TEXT, c178 TEXT, c179 TEXT, c180 TEXT,
  c181 TEXT, c182 TEXT, c183 TEXT, c184 TEXT, c185 TEXT, c186 TEXT, c187 TEXT, c188 TEXT, c189 TEXT, c190 TEXT,
  c191 TEXT, c192 TEXT, c193 TEXT, c194 TEXT, c195 TEXT, c196 TEXT, c197 TEXT, c198 TEXT, c199 TEXT, c200 TEXT,
  c201 TEXT, c202 TEXT, c203 TEXT, c204 TEXT, c205 TEXT, c206 TEXT, c207 TEXT, c208 TEXT, c209 TEXT, c210 TEXT,
  c211 TEXT, c212 TEXT, c213 TEXT, c214 TEXT, c215 TEXT, c216 TEXT, c217 TEXT, c218 TEXT, c219 TEXT, c220 TEXT,
  c221 TEXT, c222 TEXT, c223 TEXT, c224 TEXT, c225 TEXT, c226 TEXT, c227 TEXT, c228 TEXT, c229 TEXT, c230 TEXT,
  c231 TEXT, c232 TEXT, c233 TEXT, c234 TEXT, c235 TEXT, c236 TEXT, c237 TEXT, c238 TEXT, c239 TEXT, c240 TEXT,
  c241 TEXT, c242 TEXT, c243 TEXT, c244 TEXT, c245 TEXT, c246 TEXT, c247 TEXT, c248 TEXT, c249 TEXT, c250 TEXT,
  c251 TEXT, c252 TEXT, c253 TEXT, c254 TEXT, c255 TEXT
);

-- @database system.dll

-- Extraction settings per page address; the highest id is the newest.
-- Records is how a batch run makes the site's records ("layout", "fields",
-- "rows"; null: no choice saved); HeaderRows (-1 automatic), Columns and
-- SourceColumns (1, 0, null: as the record choice decides) are how "rows"
-- reads the tables. A database from before them gets them at the next save.
CREATE TABLE SearchInfor (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  web TEXT COLLATE NOCASE,
  TableName TEXT,
  TableRow TEXT,
  Rowchange INTEGER,
  classname TEXT,
  Records TEXT,
  HeaderRows INTEGER,
  Columns TEXT,
  SourceColumns INTEGER
);

-- The layout: one row per layout row, in rowid order; column cN is layout
-- grid column N. Addressed by position and widened like datalist.
CREATE TABLE DataFormat (
  c0 TEXT, c1 TEXT, c2 TEXT, c3 TEXT, c4 TEXT, c5 TEXT, c6 TEXT, c7 TEXT, c8 TEXT, c9 TEXT,
  c10 TEXT, c11 TEXT, c12 TEXT, c13 TEXT, c14 TEXT, c15 TEXT, c16 TEXT, c17 TEXT, c18 TEXT, c19 TEXT,
  c20 TEXT, c21 TEXT, c22 TEXT, c23 TEXT, c24 TEXT, c25 TEXT, c26 TEXT, c27 TEXT, c28 TEXT, c29 TEXT,
  c30 TEXT, c31 TEXT, c32 TEXT, c33 TEXT, c34 TEXT, c35 TEXT, c36 TEXT, c37 TEXT, c38 TEXT, c39 TEXT,
  c40 TEXT, c41 TEXT, c42 TEXT, c43 TEXT, c44 TEXT, c45 TEXT, c46 TEXT, c47 TEXT, c48 TEXT, c49 TEXT
);

-- The field list: id is the field's row in the field editor.
CREATE TABLE FileName (
  id INTEGER,
  filedname TEXT
);

-- The analysis classes: "table" or a tag name.
CREATE TABLE SearchFlag (
  classtext TEXT COLLATE NOCASE,
  calssvalue TEXT
);

-- Fragments that keep a link out of a link batch run.
CREATE TABLE WebErr (
  WebErr TEXT
);

CREATE TABLE VarTable (
  varname TEXT COLLATE NOCASE,
  varvalue TEXT
);

-- The engine pages are loaded with: "browser" (the full browser, which runs
-- the pages' scripts) or "static". One row; without one the full browser.
CREATE TABLE BrowserEngine (
  engine TEXT
);

-- How pages are loaded, one row per setting: concurrency, delay, retries,
-- timeout, maxbodymb, maxtextmb, browserpages, batchnomedia, each value as
-- the settings window shows it (seconds, MB, 1 or 0). A missing row means
-- the setting's default.
CREATE TABLE LoadSetting (
  name TEXT PRIMARY KEY COLLATE NOCASE,
  value TEXT
);
