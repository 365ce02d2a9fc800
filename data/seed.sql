-- Starting content of the configuration database.

-- @database system.dll

-- The class list in the order it is shown; the first entry is selected at
-- start-up, so it is table mode.
INSERT INTO SearchFlag (classtext, calssvalue) VALUES
  ('表格', 'table'),
  ('段落', 'p'),
  ('列表项', 'li'),
  ('超链接', 'a'),
  ('标题一', 'h1'),
  ('标题二', 'h2'),
  ('标题三', 'h3'),
  ('区块', 'div'),
  ('行内文本', 'span'),
  ('单元格', 'td'),
  ('表格行', 'tr'),
  ('定义术语', 'dt'),
  ('定义说明', 'dd'),
  ('下拉选项', 'option'),
  ('引用', 'blockquote'),
  ('预排版文本', 'pre');

-- A link is left out when its address contains a fragment, ignoring letter
-- case. Only link schemes that never lead to a page are listed: file endings
-- such as ".exe" or ".rar" would also match host names (www.exeter.ac.uk),
-- and "#" would drop pages whose route follows a hash.
INSERT INTO WebErr (WebErr) VALUES
  ('javascript:'),
  ('vbscript:'),
  ('mailto:'),
  ('tel:'),
  ('sms:'),
  ('callto:'),
  ('tencent://'),
  ('thunder://'),
  ('ed2k://'),
  ('magnet:?'),
  ('ftp://'),
  ('file:'),
  ('news:'),
  ('about:blank');

-- Head length of the field list: how many characters at the start of a row
-- are searched for a field name. Rows after the first begin with a line
-- break (two characters), so this leaves room for names of up to eight.
INSERT INTO VarTable (varname, varvalue) VALUES ('PubLenfiled', '10');

-- Pages are read as a browser shows them, scripts run.
INSERT INTO BrowserEngine (engine) VALUES ('browser');
