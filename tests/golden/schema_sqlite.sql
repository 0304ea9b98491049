
CREATE TABLE IF NOT EXISTS zurva_user (
  userid INTEGER PRIMARY KEY AUTOINCREMENT,
  zurvauser VARCHAR(50) COLLATE ZV,
  password VARCHAR(32) COLLATE ZV,
  nickname VARCHAR(50) COLLATE ZV,
  name VARCHAR(50) COLLATE ZV,
  idno VARCHAR(50) COLLATE ZV,
  sex INTEGER,
  ok INTEGER DEFAULT 0,
  iferro INTEGER DEFAULT 0,
  ifclose INTEGER DEFAULT 0,
  ifdel INTEGER DEFAULT 0,
  grade INTEGER DEFAULT 1,
  trust INTEGER DEFAULT 0,
  online INTEGER DEFAULT 0,
  ifphotolook INTEGER DEFAULT 1,
  userdata VARCHAR(255) COLLATE ZV,
  tx VARCHAR(10) COLLATE ZV,
  height_ VARCHAR(10) COLLATE ZV,
  weight_ VARCHAR(10) COLLATE ZV,
  field VARCHAR(10) COLLATE ZV,
  job VARCHAR(50) COLLATE ZV,
  pay VARCHAR(10) COLLATE ZV,
  star VARCHAR(10) COLLATE ZV,
  mobile VARCHAR(50) COLLATE ZV,
  drink VARCHAR(50) COLLATE ZV,
  smoking VARCHAR(50) COLLATE ZV,
  pass VARCHAR(50) COLLATE ZV,
  passask VARCHAR(50) COLLATE ZV,
  lianxi VARCHAR(255) COLLATE ZV,
  aboutus TEXT COLLATE ZV,
  userbz VARCHAR(255) COLLATE ZV,
  nosou TEXT COLLATE ZV,
  photo TEXT COLLATE ZV,
  smallphoto VARCHAR(100) COLLATE ZV,
  sfphoto VARCHAR(100) COLLATE ZV,
  hyphoto VARCHAR(100) COLLATE ZV,
  srphoto VARCHAR(100) COLLATE ZV,
  xlphoto VARCHAR(100) COLLATE ZV,
  emoney MONEY DEFAULT 0,
  tuijian INTEGER DEFAULT 0,
  iflianxi INTEGER,
  moneytime DATETIME,
  citymoney MONEY DEFAULT 0,
  nextcitymoney MONEY DEFAULT 0,
  maincity VARCHAR(10) COLLATE ZV,
  nextcity VARCHAR(100) COLLATE ZV,
  wholook VARCHAR(50) COLLATE ZV,
  logins INTEGER,
  loginip VARCHAR(50) COLLATE ZV,
  lasttime DATETIME,
  addtime DATETIME,
  cookiever INTEGER DEFAULT 0,
  remembertoken VARCHAR(64) COLLATE ZV,
  ud_birthyear INTEGER GENERATED ALWAYS AS (zv_birthyear(userdata)) VIRTUAL,
  ud_province VARCHAR(50) COLLATE ZV GENERATED ALWAYS AS (zv_place(userdata,1)) VIRTUAL,
  ud_city VARCHAR(50) COLLATE ZV GENERATED ALWAYS AS (zv_place(userdata,2)) VIRTUAL
);
CREATE INDEX IF NOT EXISTS ix_zurva_user_zurvauser ON zurva_user (zurvauser);
CREATE INDEX IF NOT EXISTS ix_zurva_user_nickname ON zurva_user (nickname);
CREATE INDEX IF NOT EXISTS ix_zurva_user_search ON zurva_user (sex, grade DESC, trust DESC, addtime DESC, zv_int(zv_left(userdata,4)), zv_int(height_), zv_int(weight_), zv_int(zv_substring(userdata,zv_charindex('#12',userdata)+1,3)), ok, ifclose, iferro, ifdel);
CREATE INDEX IF NOT EXISTS ix_zurva_user_search_addtime ON zurva_user (sex, addtime DESC, grade DESC, trust DESC, zv_int(zv_left(userdata,4)), zv_int(height_), zv_int(weight_), zv_int(zv_substring(userdata,zv_charindex('#12',userdata)+1,3)), ok, ifclose, iferro, ifdel);
CREATE INDEX IF NOT EXISTS ix_zurva_user_search_lasttime ON zurva_user (sex, lasttime DESC, grade DESC, trust DESC, zv_int(zv_left(userdata,4)), zv_int(height_), zv_int(weight_), zv_int(zv_substring(userdata,zv_charindex('#12',userdata)+1,3)), ok, ifclose, iferro, ifdel);
CREATE INDEX IF NOT EXISTS ix_zurva_user_age ON zurva_user (sex, ud_birthyear, ifclose, iferro, ifdel);
CREATE INDEX IF NOT EXISTS ix_zurva_user_quick ON zurva_user (sex, grade DESC, trust DESC, addtime DESC, zv_int(zv_left(userdata,4)), zv_int(height_), zv_int(weight_), zv_int(zv_substring(userdata,zv_charindex('#12',userdata)+1,3)), ok, ifclose, iferro, ifdel, ud_birthyear);
CREATE INDEX IF NOT EXISTS ix_zurva_user_odd_birthyear ON zurva_user (sex) WHERE zv_left(userdata,4) IS NOT NULL AND zv_int(zv_left(userdata,4)) IS NULL;
CREATE INDEX IF NOT EXISTS ix_zurva_user_odd_education ON zurva_user (sex) WHERE zv_substring(userdata,zv_charindex('#12',userdata)+1,3) IS NOT NULL AND zv_int(zv_substring(userdata,zv_charindex('#12',userdata)+1,3)) IS NULL;
CREATE INDEX IF NOT EXISTS ix_zurva_user_province ON zurva_user (ud_province, ifdel, userid);
CREATE INDEX IF NOT EXISTS ix_zurva_user_city ON zurva_user (ud_province, ud_city, ifdel, userid);


CREATE TABLE IF NOT EXISTS zurva_system (
  id INTEGER PRIMARY KEY,
  citymenu TEXT COLLATE ZV,
  maincitymenu TEXT COLLATE ZV
);

CREATE TABLE IF NOT EXISTS Friends (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  userid INTEGER,
  senduserid INTEGER,
  ifok INTEGER DEFAULT 0,
  ifhmd INTEGER DEFAULT 0,
  new INTEGER DEFAULT 1,
  addtime DATETIME
);
CREATE INDEX IF NOT EXISTS ix_friends_pair ON Friends (userid, senduserid);
CREATE INDEX IF NOT EXISTS ix_friends_sender ON Friends (senduserid, userid);

CREATE TABLE IF NOT EXISTS emoneymx (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  userID INTEGER,
  b_count MONEY,
  b_history VARCHAR(255) COLLATE ZV,
  b_time DATETIME
);
-- A member's ledger is read newest first: by member and row number, so that
-- a member with many entries reads only the rows shown.
DROP INDEX IF EXISTS ix_emoneymx_user;
CREATE INDEX IF NOT EXISTS ix_emoneymx_user_id ON emoneymx (userID, id);

CREATE TABLE IF NOT EXISTS Sendbooks (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  userid INTEGER,
  senduserid INTEGER,
  content TEXT COLLATE ZV,
  addtime DATETIME,
  new INTEGER DEFAULT 1,
  pop INTEGER DEFAULT 0,
  sendnew INTEGER DEFAULT 1
);
CREATE INDEX IF NOT EXISTS ix_sendbooks_pair ON Sendbooks (userid, senduserid);
CREATE INDEX IF NOT EXISTS ix_sendbooks_sender ON Sendbooks (senduserid, userid);

CREATE TABLE IF NOT EXISTS present (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  name VARCHAR(50) COLLATE ZV,
  emoney MONEY,
  across VARCHAR(255) COLLATE ZV,
  imgs VARCHAR(100) COLLATE ZV
);

CREATE TABLE IF NOT EXISTS presentmx (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  userid INTEGER,
  senduserid INTEGER,
  presentedid INTEGER,
  sm VARCHAR(255) COLLATE ZV,
  addtime DATETIME
);
-- The same for the gifts a member received.
DROP INDEX IF EXISTS ix_presentmx_user;
CREATE INDEX IF NOT EXISTS ix_presentmx_user_id ON presentmx (userid, id);

CREATE TABLE IF NOT EXISTS party (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  userid INTEGER,
  bt VARCHAR(100) COLLATE ZV,
  cs VARCHAR(50) COLLATE ZV,
  address VARCHAR(255) COLLATE ZV,
  partytime DATETIME,
  bmtime VARCHAR(50) COLLATE ZV,
  yqrs VARCHAR(50) COLLATE ZV,
  hdfy VARCHAR(50) COLLATE ZV,
  lxfs VARCHAR(255) COLLATE ZV,
  gg TEXT COLLATE ZV,
  fa TEXT COLLATE ZV,
  jtzn TEXT COLLATE ZV,
  addtime DATETIME,
  rz INTEGER DEFAULT 0
);
CREATE INDEX IF NOT EXISTS ix_party_user ON party (userid);

CREATE TABLE IF NOT EXISTS partycj (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  partyid INTEGER,
  userid INTEGER,
  email VARCHAR(100) COLLATE ZV,
  name VARCHAR(50) COLLATE ZV,
  xl VARCHAR(50) COLLATE ZV,
  zy VARCHAR(50) COLLATE ZV,
  sex VARCHAR(10) COLLATE ZV,
  nl INTEGER,
  lx VARCHAR(50) COLLATE ZV,
  gk INTEGER DEFAULT 1,
  tb INTEGER DEFAULT 0,
  addtime DATETIME
);
CREATE INDEX IF NOT EXISTS ix_partycj_party ON partycj (partyid, userid);
CREATE INDEX IF NOT EXISTS ix_partycj_user ON partycj (userid, partyid);

CREATE TABLE IF NOT EXISTS partyzj (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  partyid INTEGER,
  nr TEXT COLLATE ZV,
  addtime DATETIME,
  rz INTEGER DEFAULT 0
);
CREATE INDEX IF NOT EXISTS ix_partyzj_party ON partyzj (partyid);

CREATE TABLE IF NOT EXISTS vote (
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  Title VARCHAR(255) COLLATE ZV,
  Select1 VARCHAR(100) COLLATE ZV,
  Select2 VARCHAR(100) COLLATE ZV,
  Select3 VARCHAR(100) COLLATE ZV,
  Select4 VARCHAR(100) COLLATE ZV,
  Select5 VARCHAR(100) COLLATE ZV,
  Select6 VARCHAR(100) COLLATE ZV,
  Select7 VARCHAR(100) COLLATE ZV,
  Select8 VARCHAR(100) COLLATE ZV,
  IsChecked INTEGER DEFAULT 0
);

CREATE TABLE IF NOT EXISTS dv_user (
  userid INTEGER PRIMARY KEY AUTOINCREMENT,
  username VARCHAR(50) COLLATE ZV
);
CREATE INDEX IF NOT EXISTS ix_dv_user_username ON dv_user (username);

-- What a server keeps copies of, and where it stands. The version 'members'
-- moves by one, and zurva_member_changes records the member under the new
-- version, whenever a member is added or removed or a column that the
-- galleries, their cards and the member lists read takes another value; a
-- login, a balance, a message change none of them. The versions 'settings'
-- and 'polls' move with every change of the settings row (the region menus)
-- and of the polls. A server
-- keeps its copies while the version stays and re-reads only the members
-- recorded since (a copy older than the last 100,000 changes is made
-- afresh). The row 'database' holds a number drawn when the database was
-- made, so that a database made anew under the same name never passes for
-- the old one.
CREATE TABLE IF NOT EXISTS zurva_versions (
  name VARCHAR(20) COLLATE ZV PRIMARY KEY,
  version BIGINT NOT NULL
);
INSERT INTO zurva_versions (name, version) SELECT 'database', zv_random() WHERE NOT EXISTS (SELECT 1 FROM zurva_versions WHERE name = 'database');
INSERT INTO zurva_versions (name, version) SELECT 'members', 0 WHERE NOT EXISTS (SELECT 1 FROM zurva_versions WHERE name = 'members');
INSERT INTO zurva_versions (name, version) SELECT 'settings', 0 WHERE NOT EXISTS (SELECT 1 FROM zurva_versions WHERE name = 'settings');
INSERT INTO zurva_versions (name, version) SELECT 'polls', 0 WHERE NOT EXISTS (SELECT 1 FROM zurva_versions WHERE name = 'polls');

CREATE TABLE IF NOT EXISTS zurva_member_changes (
  version INTEGER PRIMARY KEY,
  userid INTEGER NOT NULL
);
INSERT INTO zurva_member_changes (version, userid)
  SELECT 0, 0 WHERE NOT EXISTS (SELECT 1 FROM zurva_member_changes WHERE version = 0);
CREATE TRIGGER IF NOT EXISTS zurva_user_added AFTER INSERT ON zurva_user BEGIN
  UPDATE zurva_versions SET version = version + 1 WHERE name = 'members';
  INSERT INTO zurva_member_changes (version, userid)
    SELECT version, new.userid FROM zurva_versions WHERE name = 'members';
  DELETE FROM zurva_member_changes
    WHERE version <= (SELECT version FROM zurva_versions WHERE name = 'members') - 100000;
END;
CREATE TRIGGER IF NOT EXISTS zurva_user_removed AFTER DELETE ON zurva_user BEGIN
  UPDATE zurva_versions SET version = version + 1 WHERE name = 'members';
  INSERT INTO zurva_member_changes (version, userid)
    SELECT version, old.userid FROM zurva_versions WHERE name = 'members';
  DELETE FROM zurva_member_changes
    WHERE version <= (SELECT version FROM zurva_versions WHERE name = 'members') - 100000;
END;
CREATE TRIGGER IF NOT EXISTS zurva_user_renumbered AFTER UPDATE OF userid ON zurva_user
WHEN old.userid IS NOT new.userid BEGIN
  UPDATE zurva_versions SET version = version + 1 WHERE name = 'members';
  INSERT INTO zurva_member_changes (version, userid)
    SELECT version, old.userid FROM zurva_versions WHERE name = 'members';
  DELETE FROM zurva_member_changes
    WHERE version <= (SELECT version FROM zurva_versions WHERE name = 'members') - 100000;
END;
CREATE TABLE IF NOT EXISTS zurva_birthyear_counts (
  sex INTEGER NOT NULL,
  birthyear INTEGER NOT NULL,
  members INTEGER NOT NULL,
  PRIMARY KEY (sex, birthyear)
);
INSERT INTO zurva_birthyear_counts (sex, birthyear, members)
  SELECT sex, ud_birthyear, count(*) FROM zurva_user
  WHERE zurva_user.sex IS NOT NULL AND zurva_user.ud_birthyear IS NOT NULL AND zurva_user.ifclose = 0 AND zurva_user.iferro = 0 AND zurva_user.ifdel = 0
    AND NOT EXISTS (SELECT 1 FROM zurva_birthyear_counts)
  GROUP BY sex, ud_birthyear;
CREATE TRIGGER IF NOT EXISTS zurva_user_counted_in AFTER INSERT ON zurva_user WHEN new.sex IS NOT NULL AND new.ud_birthyear IS NOT NULL AND new.ifclose = 0 AND new.iferro = 0 AND new.ifdel = 0 BEGIN
  INSERT INTO zurva_birthyear_counts (sex, birthyear, members) VALUES (new.sex, new.ud_birthyear, 0) ON CONFLICT DO NOTHING;
  UPDATE zurva_birthyear_counts SET members = members + 1 WHERE sex = new.sex AND birthyear = new.ud_birthyear;
END;
CREATE TRIGGER IF NOT EXISTS zurva_user_counted_out AFTER DELETE ON zurva_user WHEN old.sex IS NOT NULL AND old.ud_birthyear IS NOT NULL AND old.ifclose = 0 AND old.iferro = 0 AND old.ifdel = 0 BEGIN
  UPDATE zurva_birthyear_counts SET members = members - 1 WHERE sex = old.sex AND birthyear = old.ud_birthyear;
END;
CREATE TRIGGER IF NOT EXISTS zurva_user_recounted_out AFTER UPDATE OF sex, userdata, ifclose, iferro, ifdel ON zurva_user WHEN old.sex IS NOT NULL AND old.ud_birthyear IS NOT NULL AND old.ifclose = 0 AND old.iferro = 0 AND old.ifdel = 0 BEGIN
  UPDATE zurva_birthyear_counts SET members = members - 1 WHERE sex = old.sex AND birthyear = old.ud_birthyear;
END;
CREATE TRIGGER IF NOT EXISTS zurva_user_recounted_in AFTER UPDATE OF sex, userdata, ifclose, iferro, ifdel ON zurva_user WHEN new.sex IS NOT NULL AND new.ud_birthyear IS NOT NULL AND new.ifclose = 0 AND new.iferro = 0 AND new.ifdel = 0 BEGIN
  INSERT INTO zurva_birthyear_counts (sex, birthyear, members) VALUES (new.sex, new.ud_birthyear, 0) ON CONFLICT DO NOTHING;
  UPDATE zurva_birthyear_counts SET members = members + 1 WHERE sex = new.sex AND birthyear = new.ud_birthyear;
END;

CREATE TRIGGER IF NOT EXISTS zurva_system_added AFTER INSERT ON zurva_system BEGIN
  UPDATE zurva_versions SET version = version + 1 WHERE name = 'settings';
END;
CREATE TRIGGER IF NOT EXISTS zurva_system_changed AFTER UPDATE ON zurva_system BEGIN
  UPDATE zurva_versions SET version = version + 1 WHERE name = 'settings';
END;
CREATE TRIGGER IF NOT EXISTS zurva_system_removed AFTER DELETE ON zurva_system BEGIN
  UPDATE zurva_versions SET version = version + 1 WHERE name = 'settings';
END;
CREATE TRIGGER IF NOT EXISTS vote_added AFTER INSERT ON vote BEGIN
  UPDATE zurva_versions SET version = version + 1 WHERE name = 'polls';
END;
CREATE TRIGGER IF NOT EXISTS vote_changed AFTER UPDATE ON vote BEGIN
  UPDATE zurva_versions SET version = version + 1 WHERE name = 'polls';
END;
CREATE TRIGGER IF NOT EXISTS vote_removed AFTER DELETE ON vote BEGIN
  UPDATE zurva_versions SET version = version + 1 WHERE name = 'polls';
END;

CREATE TRIGGER IF NOT EXISTS zurva_user_shown_changed AFTER UPDATE OF userid, ok, ifclose, ifdel, iferro, smallphoto, citymoney, maincity, nextcitymoney, nextcity, userdata, nickname, grade, trust, photo, sex, field, height_, weight_, aboutus, ifphotolook, addtime ON zurva_user
WHEN old.userid IS NOT new.userid COLLATE BINARY OR old.ok IS NOT new.ok COLLATE BINARY OR old.ifclose IS NOT new.ifclose COLLATE BINARY OR old.ifdel IS NOT new.ifdel COLLATE BINARY OR old.iferro IS NOT new.iferro COLLATE BINARY OR old.smallphoto IS NOT new.smallphoto COLLATE BINARY OR old.citymoney IS NOT new.citymoney COLLATE BINARY OR old.maincity IS NOT new.maincity COLLATE BINARY OR old.nextcitymoney IS NOT new.nextcitymoney COLLATE BINARY OR old.nextcity IS NOT new.nextcity COLLATE BINARY OR old.userdata IS NOT new.userdata COLLATE BINARY OR old.nickname IS NOT new.nickname COLLATE BINARY OR old.grade IS NOT new.grade COLLATE BINARY OR old.trust IS NOT new.trust COLLATE BINARY OR old.photo IS NOT new.photo COLLATE BINARY OR old.sex IS NOT new.sex COLLATE BINARY OR old.field IS NOT new.field COLLATE BINARY OR old.height_ IS NOT new.height_ COLLATE BINARY OR old.weight_ IS NOT new.weight_ COLLATE BINARY OR old.aboutus IS NOT new.aboutus COLLATE BINARY OR old.ifphotolook IS NOT new.ifphotolook COLLATE BINARY OR old.addtime IS NOT new.addtime COLLATE BINARY BEGIN
  UPDATE zurva_versions SET version = version + 1 WHERE name = 'members';
  INSERT INTO zurva_member_changes (version, userid)
    SELECT version, new.userid FROM zurva_versions WHERE name = 'members';
  DELETE FROM zurva_member_changes
    WHERE version <= (SELECT version FROM zurva_versions WHERE name = 'members') - 100000;
END;
