-- native
CREATE SEQUENCE IF NOT EXISTS "zurva_user_zvid"
-- native
CREATE TABLE IF NOT EXISTS "zurva_user" ("userid" integer NOT NULL DEFAULT nextval('"zurva_user_zvid"') PRIMARY KEY, "zurvauser" text COLLATE "C", "password" text COLLATE "C", "nickname" text COLLATE "C", "name" text COLLATE "C", "idno" text COLLATE "C", "sex" integer, "ok" integer DEFAULT 0, "iferro" integer DEFAULT 0, "ifclose" integer DEFAULT 0, "ifdel" integer DEFAULT 0, "grade" integer DEFAULT 1, "trust" integer DEFAULT 0, "online" integer DEFAULT 0, "ifphotolook" integer DEFAULT 1, "userdata" text COLLATE "C", "tx" text COLLATE "C", "height_" text COLLATE "C", "weight_" text COLLATE "C", "field" text COLLATE "C", "job" text COLLATE "C", "pay" text COLLATE "C", "star" text COLLATE "C", "mobile" text COLLATE "C", "drink" text COLLATE "C", "smoking" text COLLATE "C", "pass" text COLLATE "C", "passask" text COLLATE "C", "lianxi" text COLLATE "C", "aboutus" text COLLATE "C", "userbz" text COLLATE "C", "nosou" text COLLATE "C", "photo" text COLLATE "C", "smallphoto" text COLLATE "C", "sfphoto" text COLLATE "C", "hyphoto" text COLLATE "C", "srphoto" text COLLATE "C", "xlphoto" text COLLATE "C", "emoney" numeric DEFAULT 0, "tuijian" integer DEFAULT 0, "iflianxi" integer, "moneytime" timestamp(0), "citymoney" numeric DEFAULT 0, "nextcitymoney" numeric DEFAULT 0, "maincity" text COLLATE "C", "nextcity" text COLLATE "C", "wholook" text COLLATE "C", "logins" integer, "loginip" text COLLATE "C", "lasttime" timestamp(0), "addtime" timestamp(0), "cookiever" integer DEFAULT 0, "remembertoken" text COLLATE "C", "ud_birthyear" integer GENERATED ALWAYS AS (zv_birthyear(userdata)) STORED, "ud_province" text COLLATE "C" GENERATED ALWAYS AS (zv_place(userdata, 1)) STORED, "ud_city" text COLLATE "C" GENERATED ALWAYS AS (zv_place(userdata, 2)) STORED)
-- native
CREATE OR REPLACE FUNCTION "zv_ids_zurva_user"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF NEW."userid" >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM "zurva_user_zvid") THEN PERFORM setval('"zurva_user_zvid"', NEW."userid"); END IF; RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER zv_ids AFTER INSERT ON "zurva_user" FOR EACH ROW EXECUTE FUNCTION "zv_ids_zurva_user"();
ALTER SEQUENCE "zurva_user_zvid" OWNED BY "zurva_user"."userid"
-- native
CREATE INDEX IF NOT EXISTS "ix_zurva_user_zurvauser" ON "zurva_user" (zv_key(zurvauser) NULLS FIRST)
-- native
CREATE INDEX IF NOT EXISTS "ix_zurva_user_nickname" ON "zurva_user" (zv_key(nickname) NULLS FIRST)
-- native
CREATE INDEX IF NOT EXISTS "ix_zurva_user_search" ON "zurva_user" (sex NULLS FIRST, grade DESC NULLS LAST, trust DESC NULLS LAST, addtime DESC NULLS LAST, (zv_int(zv_left(userdata, 4))) NULLS FIRST, (zv_int(height_)) NULLS FIRST, (zv_int(weight_)) NULLS FIRST, (zv_int(zv_substring(userdata, zv_charindex('#12', userdata) + 1, 3))) NULLS FIRST, ok NULLS FIRST, ifclose NULLS FIRST, iferro NULLS FIRST, ifdel NULLS FIRST)
-- native
CREATE INDEX IF NOT EXISTS "ix_zurva_user_search_addtime" ON "zurva_user" (sex NULLS FIRST, addtime DESC NULLS LAST, grade DESC NULLS LAST, trust DESC NULLS LAST, (zv_int(zv_left(userdata, 4))) NULLS FIRST, (zv_int(height_)) NULLS FIRST, (zv_int(weight_)) NULLS FIRST, (zv_int(zv_substring(userdata, zv_charindex('#12', userdata) + 1, 3))) NULLS FIRST, ok NULLS FIRST, ifclose NULLS FIRST, iferro NULLS FIRST, ifdel NULLS FIRST)
-- native
CREATE INDEX IF NOT EXISTS "ix_zurva_user_search_lasttime" ON "zurva_user" (sex NULLS FIRST, lasttime DESC NULLS LAST, grade DESC NULLS LAST, trust DESC NULLS LAST, (zv_int(zv_left(userdata, 4))) NULLS FIRST, (zv_int(height_)) NULLS FIRST, (zv_int(weight_)) NULLS FIRST, (zv_int(zv_substring(userdata, zv_charindex('#12', userdata) + 1, 3))) NULLS FIRST, ok NULLS FIRST, ifclose NULLS FIRST, iferro NULLS FIRST, ifdel NULLS FIRST)
-- native
CREATE INDEX IF NOT EXISTS "ix_zurva_user_age" ON "zurva_user" (sex NULLS FIRST, ud_birthyear NULLS FIRST, ifclose NULLS FIRST, iferro NULLS FIRST, ifdel NULLS FIRST)
-- native
CREATE INDEX IF NOT EXISTS "ix_zurva_user_quick" ON "zurva_user" (sex NULLS FIRST, grade DESC NULLS LAST, trust DESC NULLS LAST, addtime DESC NULLS LAST, (zv_int(zv_left(userdata, 4))) NULLS FIRST, (zv_int(height_)) NULLS FIRST, (zv_int(weight_)) NULLS FIRST, (zv_int(zv_substring(userdata, zv_charindex('#12', userdata) + 1, 3))) NULLS FIRST, ok NULLS FIRST, ifclose NULLS FIRST, iferro NULLS FIRST, ifdel NULLS FIRST, ud_birthyear NULLS FIRST)
-- native
CREATE INDEX IF NOT EXISTS "ix_zurva_user_odd_birthyear" ON "zurva_user" (sex NULLS FIRST) WHERE zv_left(userdata, 4) IS NOT NULL AND zv_int(zv_left(userdata, 4)) IS NULL
-- native
CREATE INDEX IF NOT EXISTS "ix_zurva_user_odd_education" ON "zurva_user" (sex NULLS FIRST) WHERE zv_substring(userdata, zv_charindex('#12', userdata) + 1, 3) IS NOT NULL AND zv_int(zv_substring(userdata, zv_charindex('#12', userdata) + 1, 3)) IS NULL
-- native
CREATE INDEX IF NOT EXISTS "ix_zurva_user_province" ON "zurva_user" (zv_key(ud_province) NULLS FIRST, ifdel NULLS FIRST, userid)
-- native
CREATE INDEX IF NOT EXISTS "ix_zurva_user_city" ON "zurva_user" (zv_key(ud_province) NULLS FIRST, zv_key(ud_city) NULLS FIRST, ifdel NULLS FIRST, userid)
-- native
CREATE SEQUENCE IF NOT EXISTS "zurva_system_zvid"
-- native
CREATE TABLE IF NOT EXISTS "zurva_system" ("id" integer NOT NULL DEFAULT nextval('"zurva_system_zvid"') PRIMARY KEY, "citymenu" text COLLATE "C", "maincitymenu" text COLLATE "C")
-- native
CREATE OR REPLACE FUNCTION "zv_ids_zurva_system"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF NEW."id" >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM "zurva_system_zvid") THEN PERFORM setval('"zurva_system_zvid"', NEW."id"); END IF; RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER zv_ids AFTER INSERT ON "zurva_system" FOR EACH ROW EXECUTE FUNCTION "zv_ids_zurva_system"();
ALTER SEQUENCE "zurva_system_zvid" OWNED BY "zurva_system"."id"
-- native
CREATE SEQUENCE IF NOT EXISTS "friends_zvid"
-- native
CREATE TABLE IF NOT EXISTS "friends" ("id" integer NOT NULL DEFAULT nextval('"friends_zvid"') PRIMARY KEY, "userid" integer, "senduserid" integer, "ifok" integer DEFAULT 0, "ifhmd" integer DEFAULT 0, "new" integer DEFAULT 1, "addtime" timestamp(0))
-- native
CREATE OR REPLACE FUNCTION "zv_ids_friends"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF NEW."id" >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM "friends_zvid") THEN PERFORM setval('"friends_zvid"', NEW."id"); END IF; RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER zv_ids AFTER INSERT ON "friends" FOR EACH ROW EXECUTE FUNCTION "zv_ids_friends"();
ALTER SEQUENCE "friends_zvid" OWNED BY "friends"."id"
-- native
CREATE INDEX IF NOT EXISTS "ix_friends_pair" ON "friends" (userid NULLS FIRST, senduserid NULLS FIRST)
-- native
CREATE INDEX IF NOT EXISTS "ix_friends_sender" ON "friends" (senduserid NULLS FIRST, userid NULLS FIRST)
-- native
CREATE SEQUENCE IF NOT EXISTS "emoneymx_zvid"
-- native
CREATE TABLE IF NOT EXISTS "emoneymx" ("id" integer NOT NULL DEFAULT nextval('"emoneymx_zvid"') PRIMARY KEY, "userid" integer, "b_count" numeric, "b_history" text COLLATE "C", "b_time" timestamp(0))
-- native
CREATE OR REPLACE FUNCTION "zv_ids_emoneymx"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF NEW."id" >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM "emoneymx_zvid") THEN PERFORM setval('"emoneymx_zvid"', NEW."id"); END IF; RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER zv_ids AFTER INSERT ON "emoneymx" FOR EACH ROW EXECUTE FUNCTION "zv_ids_emoneymx"();
ALTER SEQUENCE "emoneymx_zvid" OWNED BY "emoneymx"."id"
-- dialect

-- A member's ledger is read newest first: by member and row number, so that
-- a member with many entries reads only the rows shown.
DROP INDEX IF EXISTS ix_emoneymx_user
-- native
CREATE INDEX IF NOT EXISTS "ix_emoneymx_user_id" ON "emoneymx" (userID NULLS FIRST, id)
-- native
CREATE SEQUENCE IF NOT EXISTS "sendbooks_zvid"
-- native
CREATE TABLE IF NOT EXISTS "sendbooks" ("id" integer NOT NULL DEFAULT nextval('"sendbooks_zvid"') PRIMARY KEY, "userid" integer, "senduserid" integer, "content" text COLLATE "C", "addtime" timestamp(0), "new" integer DEFAULT 1, "pop" integer DEFAULT 0, "sendnew" integer DEFAULT 1)
-- native
CREATE OR REPLACE FUNCTION "zv_ids_sendbooks"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF NEW."id" >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM "sendbooks_zvid") THEN PERFORM setval('"sendbooks_zvid"', NEW."id"); END IF; RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER zv_ids AFTER INSERT ON "sendbooks" FOR EACH ROW EXECUTE FUNCTION "zv_ids_sendbooks"();
ALTER SEQUENCE "sendbooks_zvid" OWNED BY "sendbooks"."id"
-- native
CREATE INDEX IF NOT EXISTS "ix_sendbooks_pair" ON "sendbooks" (userid NULLS FIRST, senduserid NULLS FIRST)
-- native
CREATE INDEX IF NOT EXISTS "ix_sendbooks_sender" ON "sendbooks" (senduserid NULLS FIRST, userid NULLS FIRST)
-- native
CREATE SEQUENCE IF NOT EXISTS "present_zvid"
-- native
CREATE TABLE IF NOT EXISTS "present" ("id" integer NOT NULL DEFAULT nextval('"present_zvid"') PRIMARY KEY, "name" text COLLATE "C", "emoney" numeric, "across" text COLLATE "C", "imgs" text COLLATE "C")
-- native
CREATE OR REPLACE FUNCTION "zv_ids_present"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF NEW."id" >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM "present_zvid") THEN PERFORM setval('"present_zvid"', NEW."id"); END IF; RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER zv_ids AFTER INSERT ON "present" FOR EACH ROW EXECUTE FUNCTION "zv_ids_present"();
ALTER SEQUENCE "present_zvid" OWNED BY "present"."id"
-- native
CREATE SEQUENCE IF NOT EXISTS "presentmx_zvid"
-- native
CREATE TABLE IF NOT EXISTS "presentmx" ("id" integer NOT NULL DEFAULT nextval('"presentmx_zvid"') PRIMARY KEY, "userid" integer, "senduserid" integer, "presentedid" integer, "sm" text COLLATE "C", "addtime" timestamp(0))
-- native
CREATE OR REPLACE FUNCTION "zv_ids_presentmx"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF NEW."id" >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM "presentmx_zvid") THEN PERFORM setval('"presentmx_zvid"', NEW."id"); END IF; RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER zv_ids AFTER INSERT ON "presentmx" FOR EACH ROW EXECUTE FUNCTION "zv_ids_presentmx"();
ALTER SEQUENCE "presentmx_zvid" OWNED BY "presentmx"."id"
-- dialect

-- The same for the gifts a member received.
DROP INDEX IF EXISTS ix_presentmx_user
-- native
CREATE INDEX IF NOT EXISTS "ix_presentmx_user_id" ON "presentmx" (userid NULLS FIRST, id)
-- native
CREATE SEQUENCE IF NOT EXISTS "party_zvid"
-- native
CREATE TABLE IF NOT EXISTS "party" ("id" integer NOT NULL DEFAULT nextval('"party_zvid"') PRIMARY KEY, "userid" integer, "bt" text COLLATE "C", "cs" text COLLATE "C", "address" text COLLATE "C", "partytime" timestamp(0), "bmtime" text COLLATE "C", "yqrs" text COLLATE "C", "hdfy" text COLLATE "C", "lxfs" text COLLATE "C", "gg" text COLLATE "C", "fa" text COLLATE "C", "jtzn" text COLLATE "C", "addtime" timestamp(0), "rz" integer DEFAULT 0)
-- native
CREATE OR REPLACE FUNCTION "zv_ids_party"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF NEW."id" >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM "party_zvid") THEN PERFORM setval('"party_zvid"', NEW."id"); END IF; RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER zv_ids AFTER INSERT ON "party" FOR EACH ROW EXECUTE FUNCTION "zv_ids_party"();
ALTER SEQUENCE "party_zvid" OWNED BY "party"."id"
-- native
CREATE INDEX IF NOT EXISTS "ix_party_user" ON "party" (userid NULLS FIRST)
-- native
CREATE SEQUENCE IF NOT EXISTS "partycj_zvid"
-- native
CREATE TABLE IF NOT EXISTS "partycj" ("id" integer NOT NULL DEFAULT nextval('"partycj_zvid"') PRIMARY KEY, "partyid" integer, "userid" integer, "email" text COLLATE "C", "name" text COLLATE "C", "xl" text COLLATE "C", "zy" text COLLATE "C", "sex" text COLLATE "C", "nl" integer, "lx" text COLLATE "C", "gk" integer DEFAULT 1, "tb" integer DEFAULT 0, "addtime" timestamp(0))
-- native
CREATE OR REPLACE FUNCTION "zv_ids_partycj"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF NEW."id" >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM "partycj_zvid") THEN PERFORM setval('"partycj_zvid"', NEW."id"); END IF; RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER zv_ids AFTER INSERT ON "partycj" FOR EACH ROW EXECUTE FUNCTION "zv_ids_partycj"();
ALTER SEQUENCE "partycj_zvid" OWNED BY "partycj"."id"
-- native
CREATE INDEX IF NOT EXISTS "ix_partycj_party" ON "partycj" (partyid NULLS FIRST, userid NULLS FIRST)
-- native
CREATE INDEX IF NOT EXISTS "ix_partycj_user" ON "partycj" (userid NULLS FIRST, partyid NULLS FIRST)
-- native
CREATE SEQUENCE IF NOT EXISTS "partyzj_zvid"
-- native
CREATE TABLE IF NOT EXISTS "partyzj" ("id" integer NOT NULL DEFAULT nextval('"partyzj_zvid"') PRIMARY KEY, "partyid" integer, "nr" text COLLATE "C", "addtime" timestamp(0), "rz" integer DEFAULT 0)
-- native
CREATE OR REPLACE FUNCTION "zv_ids_partyzj"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF NEW."id" >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM "partyzj_zvid") THEN PERFORM setval('"partyzj_zvid"', NEW."id"); END IF; RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER zv_ids AFTER INSERT ON "partyzj" FOR EACH ROW EXECUTE FUNCTION "zv_ids_partyzj"();
ALTER SEQUENCE "partyzj_zvid" OWNED BY "partyzj"."id"
-- native
CREATE INDEX IF NOT EXISTS "ix_partyzj_party" ON "partyzj" (partyid NULLS FIRST)
-- native
CREATE SEQUENCE IF NOT EXISTS "vote_zvid"
-- native
CREATE TABLE IF NOT EXISTS "vote" ("id" integer NOT NULL DEFAULT nextval('"vote_zvid"') PRIMARY KEY, "title" text COLLATE "C", "select1" text COLLATE "C", "select2" text COLLATE "C", "select3" text COLLATE "C", "select4" text COLLATE "C", "select5" text COLLATE "C", "select6" text COLLATE "C", "select7" text COLLATE "C", "select8" text COLLATE "C", "ischecked" integer DEFAULT 0)
-- native
CREATE OR REPLACE FUNCTION "zv_ids_vote"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF NEW."id" >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM "vote_zvid") THEN PERFORM setval('"vote_zvid"', NEW."id"); END IF; RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER zv_ids AFTER INSERT ON "vote" FOR EACH ROW EXECUTE FUNCTION "zv_ids_vote"();
ALTER SEQUENCE "vote_zvid" OWNED BY "vote"."id"
-- native
CREATE SEQUENCE IF NOT EXISTS "dv_user_zvid"
-- native
CREATE TABLE IF NOT EXISTS "dv_user" ("userid" integer NOT NULL DEFAULT nextval('"dv_user_zvid"') PRIMARY KEY, "username" text COLLATE "C")
-- native
CREATE OR REPLACE FUNCTION "zv_ids_dv_user"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF NEW."userid" >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM "dv_user_zvid") THEN PERFORM setval('"dv_user_zvid"', NEW."userid"); END IF; RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER zv_ids AFTER INSERT ON "dv_user" FOR EACH ROW EXECUTE FUNCTION "zv_ids_dv_user"();
ALTER SEQUENCE "dv_user_zvid" OWNED BY "dv_user"."userid"
-- native
CREATE INDEX IF NOT EXISTS "ix_dv_user_username" ON "dv_user" (zv_key(username) NULLS FIRST)
-- native
CREATE TABLE IF NOT EXISTS "zurva_versions" ("name" text COLLATE "C" PRIMARY KEY, "version" bigint NOT NULL)
-- dialect

INSERT INTO zurva_versions (name, version) SELECT 'database', zv_random() WHERE NOT EXISTS (SELECT 1 FROM zurva_versions WHERE name = 'database')
-- dialect

INSERT INTO zurva_versions (name, version) SELECT 'members', 0 WHERE NOT EXISTS (SELECT 1 FROM zurva_versions WHERE name = 'members')
-- dialect

INSERT INTO zurva_versions (name, version) SELECT 'settings', 0 WHERE NOT EXISTS (SELECT 1 FROM zurva_versions WHERE name = 'settings')
-- dialect

INSERT INTO zurva_versions (name, version) SELECT 'polls', 0 WHERE NOT EXISTS (SELECT 1 FROM zurva_versions WHERE name = 'polls')
-- native
CREATE SEQUENCE IF NOT EXISTS "zurva_member_changes_zvid"
-- native
CREATE TABLE IF NOT EXISTS "zurva_member_changes" ("version" integer NOT NULL DEFAULT nextval('"zurva_member_changes_zvid"') PRIMARY KEY, "userid" integer NOT NULL)
-- native
CREATE OR REPLACE FUNCTION "zv_ids_zurva_member_changes"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN IF NEW."version" >= (SELECT CASE WHEN is_called THEN last_value + 1 ELSE last_value END FROM "zurva_member_changes_zvid") THEN PERFORM setval('"zurva_member_changes_zvid"', NEW."version"); END IF; RETURN NULL; END $f$;
CREATE OR REPLACE TRIGGER zv_ids AFTER INSERT ON "zurva_member_changes" FOR EACH ROW EXECUTE FUNCTION "zv_ids_zurva_member_changes"();
ALTER SEQUENCE "zurva_member_changes_zvid" OWNED BY "zurva_member_changes"."version"
-- dialect

INSERT INTO zurva_member_changes (version, userid)
  SELECT 0, 0 WHERE NOT EXISTS (SELECT 1 FROM zurva_member_changes WHERE version = 0)
-- native
CREATE OR REPLACE FUNCTION "zv_trigger_zurva_user_added"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
UPDATE zurva_versions SET version = version + 1 WHERE name = 'members';
INSERT INTO zurva_member_changes(version, userid) SELECT version, new.userid FROM zurva_versions WHERE name = 'members';
DELETE FROM zurva_member_changes WHERE version <= (SELECT version FROM zurva_versions WHERE name = 'members') - 100000;
RETURN NULL;
END $f$
-- native
CREATE OR REPLACE TRIGGER "zurva_user_added" AFTER INSERT ON "zurva_user" FOR EACH ROW EXECUTE FUNCTION "zv_trigger_zurva_user_added"()
-- native
CREATE OR REPLACE FUNCTION "zv_trigger_zurva_user_removed"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
UPDATE zurva_versions SET version = version + 1 WHERE name = 'members';
INSERT INTO zurva_member_changes(version, userid) SELECT version, old.userid FROM zurva_versions WHERE name = 'members';
DELETE FROM zurva_member_changes WHERE version <= (SELECT version FROM zurva_versions WHERE name = 'members') - 100000;
RETURN NULL;
END $f$
-- native
CREATE OR REPLACE TRIGGER "zurva_user_removed" AFTER DELETE ON "zurva_user" FOR EACH ROW EXECUTE FUNCTION "zv_trigger_zurva_user_removed"()
-- native
CREATE OR REPLACE FUNCTION "zv_trigger_zurva_user_renumbered"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
UPDATE zurva_versions SET version = version + 1 WHERE name = 'members';
INSERT INTO zurva_member_changes(version, userid) SELECT version, old.userid FROM zurva_versions WHERE name = 'members';
DELETE FROM zurva_member_changes WHERE version <= (SELECT version FROM zurva_versions WHERE name = 'members') - 100000;
RETURN NULL;
END $f$
-- native
CREATE OR REPLACE TRIGGER "zurva_user_renumbered" AFTER UPDATE OF userid ON "zurva_user" FOR EACH ROW WHEN (old.userid IS DISTINCT FROM new.userid) EXECUTE FUNCTION "zv_trigger_zurva_user_renumbered"()
-- native
CREATE TABLE IF NOT EXISTS "zurva_birthyear_counts" ("sex" integer NOT NULL, "birthyear" integer NOT NULL, "members" integer NOT NULL, PRIMARY KEY(sex, birthyear))
-- dialect

INSERT INTO zurva_birthyear_counts (sex, birthyear, members)
  SELECT sex, ud_birthyear, count(*) FROM zurva_user
  WHERE zurva_user.sex IS NOT NULL AND zurva_user.ud_birthyear IS NOT NULL AND zurva_user.ifclose = 0 AND zurva_user.iferro = 0 AND zurva_user.ifdel = 0
    AND NOT EXISTS (SELECT 1 FROM zurva_birthyear_counts)
  GROUP BY sex, ud_birthyear
-- native
CREATE OR REPLACE FUNCTION "zv_trigger_zurva_user_counted_in"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
INSERT INTO zurva_birthyear_counts(sex, birthyear, members) VALUES(new.sex, new.ud_birthyear, 0) ON CONFLICT DO NOTHING;
UPDATE zurva_birthyear_counts SET members = members + 1 WHERE sex = new.sex AND birthyear = new.ud_birthyear;
RETURN NULL;
END $f$
-- native
CREATE OR REPLACE TRIGGER "zurva_user_counted_in" AFTER INSERT ON "zurva_user" FOR EACH ROW WHEN (new.sex IS NOT NULL AND new.ud_birthyear IS NOT NULL AND new.ifclose = 0 AND new.iferro = 0 AND new.ifdel = 0) EXECUTE FUNCTION "zv_trigger_zurva_user_counted_in"()
-- native
CREATE OR REPLACE FUNCTION "zv_trigger_zurva_user_counted_out"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
UPDATE zurva_birthyear_counts SET members = members - 1 WHERE sex = old.sex AND birthyear = old.ud_birthyear;
RETURN NULL;
END $f$
-- native
CREATE OR REPLACE TRIGGER "zurva_user_counted_out" AFTER DELETE ON "zurva_user" FOR EACH ROW WHEN (old.sex IS NOT NULL AND old.ud_birthyear IS NOT NULL AND old.ifclose = 0 AND old.iferro = 0 AND old.ifdel = 0) EXECUTE FUNCTION "zv_trigger_zurva_user_counted_out"()
-- native
CREATE OR REPLACE FUNCTION "zv_trigger_zurva_user_recounted_out"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
UPDATE zurva_birthyear_counts SET members = members - 1 WHERE sex = old.sex AND birthyear = old.ud_birthyear;
RETURN NULL;
END $f$
-- native
CREATE OR REPLACE TRIGGER "zurva_user_recounted_out" AFTER UPDATE OF sex, userdata, ifclose, iferro, ifdel ON "zurva_user" FOR EACH ROW WHEN (old.sex IS NOT NULL AND old.ud_birthyear IS NOT NULL AND old.ifclose = 0 AND old.iferro = 0 AND old.ifdel = 0) EXECUTE FUNCTION "zv_trigger_zurva_user_recounted_out"()
-- native
CREATE OR REPLACE FUNCTION "zv_trigger_zurva_user_recounted_in"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
INSERT INTO zurva_birthyear_counts(sex, birthyear, members) VALUES(new.sex, new.ud_birthyear, 0) ON CONFLICT DO NOTHING;
UPDATE zurva_birthyear_counts SET members = members + 1 WHERE sex = new.sex AND birthyear = new.ud_birthyear;
RETURN NULL;
END $f$
-- native
CREATE OR REPLACE TRIGGER "zurva_user_recounted_in" AFTER UPDATE OF sex, userdata, ifclose, iferro, ifdel ON "zurva_user" FOR EACH ROW WHEN (new.sex IS NOT NULL AND new.ud_birthyear IS NOT NULL AND new.ifclose = 0 AND new.iferro = 0 AND new.ifdel = 0) EXECUTE FUNCTION "zv_trigger_zurva_user_recounted_in"()
-- native
CREATE OR REPLACE FUNCTION "zv_trigger_zurva_system_added"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
UPDATE zurva_versions SET version = version + 1 WHERE name = 'settings';
RETURN NULL;
END $f$
-- native
CREATE OR REPLACE TRIGGER "zurva_system_added" AFTER INSERT ON "zurva_system" FOR EACH ROW EXECUTE FUNCTION "zv_trigger_zurva_system_added"()
-- native
CREATE OR REPLACE FUNCTION "zv_trigger_zurva_system_changed"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
UPDATE zurva_versions SET version = version + 1 WHERE name = 'settings';
RETURN NULL;
END $f$
-- native
CREATE OR REPLACE TRIGGER "zurva_system_changed" AFTER UPDATE ON "zurva_system" FOR EACH ROW EXECUTE FUNCTION "zv_trigger_zurva_system_changed"()
-- native
CREATE OR REPLACE FUNCTION "zv_trigger_zurva_system_removed"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
UPDATE zurva_versions SET version = version + 1 WHERE name = 'settings';
RETURN NULL;
END $f$
-- native
CREATE OR REPLACE TRIGGER "zurva_system_removed" AFTER DELETE ON "zurva_system" FOR EACH ROW EXECUTE FUNCTION "zv_trigger_zurva_system_removed"()
-- native
CREATE OR REPLACE FUNCTION "zv_trigger_vote_added"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
UPDATE zurva_versions SET version = version + 1 WHERE name = 'polls';
RETURN NULL;
END $f$
-- native
CREATE OR REPLACE TRIGGER "vote_added" AFTER INSERT ON "vote" FOR EACH ROW EXECUTE FUNCTION "zv_trigger_vote_added"()
-- native
CREATE OR REPLACE FUNCTION "zv_trigger_vote_changed"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
UPDATE zurva_versions SET version = version + 1 WHERE name = 'polls';
RETURN NULL;
END $f$
-- native
CREATE OR REPLACE TRIGGER "vote_changed" AFTER UPDATE ON "vote" FOR EACH ROW EXECUTE FUNCTION "zv_trigger_vote_changed"()
-- native
CREATE OR REPLACE FUNCTION "zv_trigger_vote_removed"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
UPDATE zurva_versions SET version = version + 1 WHERE name = 'polls';
RETURN NULL;
END $f$
-- native
CREATE OR REPLACE TRIGGER "vote_removed" AFTER DELETE ON "vote" FOR EACH ROW EXECUTE FUNCTION "zv_trigger_vote_removed"()
-- native
CREATE OR REPLACE FUNCTION "zv_trigger_zurva_user_shown_changed"() RETURNS trigger LANGUAGE plpgsql AS $f$ BEGIN
UPDATE zurva_versions SET version = version + 1 WHERE name = 'members';
INSERT INTO zurva_member_changes(version, userid) SELECT version, new.userid FROM zurva_versions WHERE name = 'members';
DELETE FROM zurva_member_changes WHERE version <= (SELECT version FROM zurva_versions WHERE name = 'members') - 100000;
RETURN NULL;
END $f$
-- native
CREATE OR REPLACE TRIGGER "zurva_user_shown_changed" AFTER UPDATE OF userid, ok, ifclose, ifdel, iferro, smallphoto, citymoney, maincity, nextcitymoney, nextcity, userdata, nickname, grade, trust, photo, sex, field, height_, weight_, aboutus, ifphotolook, addtime ON "zurva_user" FOR EACH ROW WHEN (old.userid IS DISTINCT FROM new.userid OR old.ok IS DISTINCT FROM new.ok OR old.ifclose IS DISTINCT FROM new.ifclose OR old.ifdel IS DISTINCT FROM new.ifdel OR old.iferro IS DISTINCT FROM new.iferro OR old.smallphoto IS DISTINCT FROM new.smallphoto OR old.citymoney IS DISTINCT FROM new.citymoney OR old.maincity IS DISTINCT FROM new.maincity OR old.nextcitymoney IS DISTINCT FROM new.nextcitymoney OR old.nextcity IS DISTINCT FROM new.nextcity OR old.userdata IS DISTINCT FROM new.userdata OR old.nickname IS DISTINCT FROM new.nickname OR old.grade IS DISTINCT FROM new.grade OR old.trust IS DISTINCT FROM new.trust OR old.photo IS DISTINCT FROM new.photo OR old.sex IS DISTINCT FROM new.sex OR old.field IS DISTINCT FROM new.field OR old.height_ IS DISTINCT FROM new.height_ OR old.weight_ IS DISTINCT FROM new.weight_ OR old.aboutus IS DISTINCT FROM new.aboutus OR old.ifphotolook IS DISTINCT FROM new.ifphotolook OR old.addtime IS DISTINCT FROM new.addtime) EXECUTE FUNCTION "zv_trigger_zurva_user_shown_changed"()
-- added columns
"cookiever" integer DEFAULT 0
"remembertoken" text COLLATE "C"
"ud_birthyear" integer GENERATED ALWAYS AS (zv_birthyear(userdata)) STORED
"ud_province" text COLLATE "C" GENERATED ALWAYS AS (zv_place(userdata, 1)) STORED
"ud_city" text COLLATE "C" GENERATED ALWAYS AS (zv_place(userdata, 2)) STORED
