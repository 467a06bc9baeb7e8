{ A second, independent dBASE IV implementation for the interoperability tests: Free Pascal's
  TDbf writes a known inventory table for our engine to read, and dumps any table in exactly
  the text format of "vantorel-dbf dump", so the two readers can be compared byte for byte.

    tdbf_tool write FILE        create FILE (dBASE IV, production index beside it) and fill it
    tdbf_tool dump FILE [TAG]   print the records that are not deleted, in record order or,
                                with TAG, in the order of that tag of the production index
                                (a tag TDbf does not find is an error, not record order)
    tdbf_tool tags FILE         print the tags TDbf finds in the production index, one line
                                each: NAME, a tab, the key expression
    tdbf_tool load FILE DRIVER RECORDS [NAME=EXPRESSION ...]
                                create FILE with the 22 inventory columns laid out as our
                                engine lays them out, language driver DRIVER (a number:
                                87 = 0x57 sorts text by bytes, 88 = 0x58 is TDbf's own default),
                                add the tags, then append the records of the file RECORDS,
                                so that TDbf keeps the tags record by record
    tdbf_tool append FILE RECORDS
                                append the records of RECORDS to an existing table; TDbf adds
                                their keys to every tag of the production index

  RECORDS is in the dump format below: a line of column names, then a line per record. An
  empty value leaves the field empty; numbers are written with '.', dates as YYYY-MM-DD.

  Dump format: a line of the column names in capitals, then one line per record; values
  separated by a tab; text without trailing blanks; whole numbers plain; numbers with
  decimals rounded to exactly two (half away from zero), '.' as the point; dates as
  YYYY-MM-DD; an empty number or date as empty text; a tab or line break inside a value as a
  blank. Bytes are passed through untouched: the tests compare Windows-1252 bytes, not
  characters. }
program tdbf_tool;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, db, dbf, dbf_common, dbf_fields;

type
  TByteStrings = array of RawByteString;

  { TDbf converts text between the table's code page and the "ANSI" one; the tables here are
    1252 on both sides, and the tests want the stored bytes, so every translation is a copy. }
  TRawBytes = class
    function Translate(Dbf: TDbf; Src, Dest: PChar; ToOem: Boolean): Integer;
    { A dump only reads: when the header names a production index that is not there, keep
      the header as it is instead of letting TDbf clear the flag on disk. }
    procedure KeepIndexFlag(var DeleteLink: Boolean);
  end;

function TRawBytes.Translate(Dbf: TDbf; Src, Dest: PChar; ToOem: Boolean): Integer;
begin
  if Src <> Dest then
    StrCopy(Dest, Src);
  Result := StrLen(Dest);
end;

procedure TRawBytes.KeepIndexFlag(var DeleteLink: Boolean);
begin
  DeleteLink := false;
end;

var
  RawBytes: TRawBytes;

procedure WriteOut(const S: RawByteString);
begin
  { FileWrite, not Write: a Text file would convert the bytes to the console's code page. }
  if (Length(S) > 0) and (FileWrite(StdOutputHandle, S[1], Length(S)) <> Length(S)) then
    raise Exception.Create('cannot write to standard output');
end;

procedure Fail(const Msg: string);
begin
  WriteLn(StdErr, 'tdbf_tool: ', Msg);
  Halt(2);
end;

function OpenTable(const FileName: string; ReadOnly: Boolean): TDbf;
begin
  Result := TDbf.Create(nil);
  Result.FilePathFull := ExtractFilePath(ExpandFileName(FileName));
  Result.TableName := ExtractFileName(FileName);
  Result.ReadOnly := ReadOnly;
  { The writer adds index tags, which TDbf wants exclusive use for; a dump shares. }
  Result.Exclusive := not ReadOnly;
  Result.OnTranslate := @RawBytes.Translate;
  Result.OnIndexMissing := @RawBytes.KeepIndexFlag;
end;

{ ---------------------------------------------------------------- write }

procedure AddColumn(Defs: TDbfFieldDefs; const Name: string; Kind: TFieldType;
  Width: Integer = 0; Decimals: Integer = 0);
var
  Def: TDbfFieldDef;
begin
  Def := Defs.AddFieldDef;
  Def.FieldName := Name;
  Def.FieldType := Kind; { also sets TDbf's default width for the kind }
  if Width > 0 then
  begin
    Def.Size := Width;
    Def.Precision := Decimals;
  end;
end;

{ Sets a text column from raw bytes; TField.AsString would run the text through code-page
  conversion first. }
procedure SetText(Table: TDbf; const Name: string; const Bytes: RawByteString);
var
  Buf: array[0..255] of Char;
begin
  if Bytes = '' then
    Table.FieldByName(Name).Clear
  else
  begin
    StrPLCopy(@Buf[0], Bytes, High(Buf));
    Table.FieldByName(Name).SetData(@Buf[0]);
  end;
end;

procedure SetDate(Table: TDbf; const Name: string; Y, M, D: Word);
begin
  Table.FieldByName(Name).AsDateTime := EncodeDate(Y, M, D);
end;

{ One record; fields not named stay empty (blanks on disk: TDbf starts a new record from a
  buffer of blanks). }
procedure BeginRecord(Table: TDbf; const Item: RawByteString);
begin
  Table.Append;
  SetText(Table, 'ITEM', Item);
end;

procedure WriteTable(const FileName: string);
var
  Table: TDbf;
  Defs: TDbfFieldDefs;
begin
  Table := OpenTable(FileName, false);
  Defs := TDbfFieldDefs.Create(nil);
  try
    Table.TableLevel := 4;
    Defs.DbfVersion := xBaseIV;
    AddColumn(Defs, 'Item', ftString, 40);
    AddColumn(Defs, 'Brand', ftString, 20);
    AddColumn(Defs, 'Model', ftString, 20);
    AddColumn(Defs, 'Serial', ftString, 20);
    AddColumn(Defs, 'Location', ftString, 30);
    AddColumn(Defs, 'Descriptio', ftString, 110);
    AddColumn(Defs, 'BoughtFrom', ftString, 40);
    AddColumn(Defs, 'IDMarks', ftString, 60);
    { TDbf's own width for an integer is 9 digits; 11 hold every 32-bit value, sign included. }
    AddColumn(Defs, 'Quantity', ftInteger, 11, 0);
    AddColumn(Defs, 'PurchDate', ftDate);
    { Three layouts of money on purpose: TDbf's default (N 18.8), the classic N 12.2 and our
      engine's own N 20.4, so a reader that assumes one width shows up. }
    AddColumn(Defs, 'Cost', ftFloat);
    AddColumn(Defs, 'Category', ftString, 20);
    AddColumn(Defs, 'RepCost', ftFloat, 12, 2);
    AddColumn(Defs, 'Warranty', ftString, 3);
    AddColumn(Defs, 'WarDate', ftDate);
    AddColumn(Defs, 'WarNotes', ftString, 30);
    AddColumn(Defs, 'Owner', ftString, 30);
    AddColumn(Defs, 'Value', ftFloat, 20, 4);
    AddColumn(Defs, 'UserDef1', ftString, 40);
    AddColumn(Defs, 'UserDef2', ftString, 40);
    AddColumn(Defs, 'UserDef3', ftString, 40);
    AddColumn(Defs, 'UserDef4', ftString, 40);
    Table.CreateTableEx(Defs);

    Table.Open;
    { A character and a numeric tag, made before the records so that TDbf maintains them
      record by record. (TDbf's UPPER() writes through a stale pointer once its argument is
      longer than 27 bytes, hence the 20-byte category rather than the item.) }
    Table.AddIndex('CATEGORY', 'UPPER(CATEGORY)', [ixExpression]);
    Table.AddIndex('QUANTITY', 'QUANTITY', []);

    { 1: an ordinary record. }
    BeginRecord(Table, 'Television');
    SetText(Table, 'BRAND', 'Brightline');
    SetText(Table, 'MODEL', 'TX-100');
    SetText(Table, 'SERIAL', 'SN-0042');
    SetText(Table, 'LOCATION', 'Living room');
    SetText(Table, 'DESCRIPTIO', '43 inch flat screen');
    SetText(Table, 'BOUGHTFROM', 'Corner Shop');
    SetText(Table, 'IDMARKS', 'Scratch on the back');
    Table.FieldByName('QUANTITY').AsInteger := 1;
    SetDate(Table, 'PURCHDATE', 1996, 3, 7);
    Table.FieldByName('COST').AsFloat := 1234.5;
    SetText(Table, 'CATEGORY', 'Electronics');
    Table.FieldByName('REPCOST').AsFloat := 1500;
    SetText(Table, 'WARRANTY', 'Yes');
    SetDate(Table, 'WARDATE', 1999, 3, 7);
    SetText(Table, 'WARNOTES', 'Three years, parts only');
    SetText(Table, 'OWNER', 'Nadia');
    Table.FieldByName('VALUE').AsFloat := 999.99;
    SetText(Table, 'USERDEF1', 'u1');
    SetText(Table, 'USERDEF4', 'u4');
    Table.Post;

    { 2: every text as wide as its column, a 1252 byte (0xE9), a leap day, negatives. }
    BeginRecord(Table, '1234567890123456789012345678901234567890');
    SetText(Table, 'BRAND', 'Caf'#$E9' Cr'#$E8'me, 20 chars');
    SetText(Table, 'MODEL', 'ABCDEFGHIJKLMNOPQRST');
    SetText(Table, 'SERIAL', '00000000000000000009');
    SetText(Table, 'LOCATION', 'Attic, box 3, left of the door');
    SetText(Table, 'DESCRIPTIO', StringOfChar('d', 100) + ' 12345 end');
    SetText(Table, 'BOUGHTFROM', 'A shop whose name fills the whole column');
    SetText(Table, 'IDMARKS', StringOfChar('m', 59) + 'M');
    Table.FieldByName('QUANTITY').AsInteger := -5;
    SetDate(Table, 'PURCHDATE', 2000, 2, 29);
    Table.FieldByName('COST').AsFloat := -0.01;
    SetText(Table, 'CATEGORY', 'Furniture');
    Table.FieldByName('REPCOST').AsFloat := 999999999.99;
    SetText(Table, 'WARRANTY', 'No');
    SetText(Table, 'OWNER', '  leading blanks stay');
    Table.FieldByName('VALUE').AsFloat := 0;
    SetText(Table, 'USERDEF2', 'user field two');
    Table.Post;

    { 3: only the item: every number and date is empty. }
    BeginRecord(Table, 'Nothing else known');
    Table.Post;

    { 4: the largest 32-bit value, the earliest and latest dates a date column holds. }
    BeginRecord(Table, 'Coin collection');
    Table.FieldByName('QUANTITY').AsLargeInt := 2147483647;
    SetDate(Table, 'PURCHDATE', 1, 1, 1);
    SetDate(Table, 'WARDATE', 9999, 12, 31);
    Table.FieldByName('COST').AsFloat := 999999999.99;
    Table.FieldByName('REPCOST').AsFloat := -0.01;
    Table.FieldByName('VALUE').AsFloat := 99999999999.99;
    SetText(Table, 'WARRANTY', 'Yes');
    Table.Post;

    { 5: deleted: no reader may show it. }
    BeginRecord(Table, 'Deleted record');
    Table.FieldByName('QUANTITY').AsInteger := 7;
    Table.Post;
    Table.Delete;

    { 6: the smallest 32-bit value, zero amounts, a tab inside a text, a date before 1900. }
    BeginRecord(Table, 'Grandfather clock');
    SetText(Table, 'IDMARKS', 'carved'#9'initials');
    Table.FieldByName('QUANTITY').AsLargeInt := -2147483648;
    SetDate(Table, 'PURCHDATE', 1899, 12, 31);
    Table.FieldByName('COST').AsFloat := 0;
    Table.FieldByName('REPCOST').AsFloat := 0;
    Table.FieldByName('VALUE').AsFloat := -1234567.89;
    SetText(Table, 'CATEGORY', 'antiques');
    Table.Post;

    { 7: quantity zero, cents only. }
    BeginRecord(Table, 'Zero quantity');
    Table.FieldByName('QUANTITY').AsInteger := 0;
    SetDate(Table, 'PURCHDATE', 2024, 12, 31);
    Table.FieldByName('COST').AsFloat := 0.07;
    SetText(Table, 'CATEGORY', 'Electronics');
    Table.Post;

    Table.Close;
  finally
    Defs.Free;
    Table.Free;
  end;
end;

{ ---------------------------------------------------------------- load and append }

function ReadWholeFile(const FileName: string): RawByteString;
var
  Stream: TFileStream;
begin
  Stream := TFileStream.Create(FileName, fmOpenRead or fmShareDenyNone);
  try
    SetLength(Result, Stream.Size);
    if Length(Result) > 0 then
      Stream.ReadBuffer(Result[1], Length(Result));
  finally
    Stream.Free;
  end;
end;

{ Splits at every separator; a trailing separator gives a last, empty piece. }
function SplitAt(const S: RawByteString; Separator: Char): TByteStrings;
var
  Start, I, N: Integer;
begin
  Result := nil;
  N := 0;
  Start := 1;
  for I := 1 to Length(S) + 1 do
    if (I > Length(S)) or (S[I] = Separator) then
    begin
      SetLength(Result, N + 1);
      Result[N] := Copy(S, Start, I - Start);
      Inc(N);
      Start := I + 1;
    end;
end;

procedure SetValue(Table: TDbf; const Name: string; const Value: RawByteString);
var
  Field: TField;
begin
  Field := Table.FieldByName(Name);
  if Value = '' then
  begin
    Field.Clear;
    exit;
  end;
  case Field.DataType of
    ftString:
      SetText(Table, Name, Value);
    ftSmallint, ftWord, ftInteger, ftLargeint:
      Field.AsLargeInt := StrToInt64(Value);
    ftFloat:
      Field.AsFloat := StrToFloat(Value);
    ftDate, ftDateTime:
      begin
        if (Length(Value) <> 10) or (Value[5] <> '-') or (Value[8] <> '-') then
          raise Exception.CreateFmt('column %s: %s is no YYYY-MM-DD date', [Name, Value]);
        SetDate(Table, Name, StrToInt(Copy(Value, 1, 4)), StrToInt(Copy(Value, 6, 2)),
          StrToInt(Copy(Value, 9, 2)));
      end;
  else
    raise Exception.CreateFmt('column %s: type %s not handled',
      [Name, FieldTypeNames[Field.DataType]]);
  end;
end;

{ Appends every record of RECORDS to the open table, one Append and Post each, so that TDbf
  inserts each record's keys into every tag as it goes. }
procedure AppendRecords(Table: TDbf; const RecordsFile: string);
var
  Lines, Names, Values: TByteStrings;
  L, I: Integer;
begin
  Lines := SplitAt(ReadWholeFile(RecordsFile), #10);
  if (Length(Lines) = 0) or (Lines[0] = '') then
    Fail('no column names in ' + RecordsFile);
  Names := SplitAt(Lines[0], #9);
  for L := 1 to High(Lines) do
  begin
    if Lines[L] = '' then
      continue; { the end of the last line }
    Values := SplitAt(Lines[L], #9);
    if Length(Values) <> Length(Names) then
      Fail(Format('%s, line %d: %d values for %d columns',
        [RecordsFile, L + 1, Length(Values), Length(Names)]));
    Table.Append;
    for I := 0 to High(Names) do
      SetValue(Table, Names[I], Values[I]);
    Table.Post;
  end;
end;

procedure LoadTable(const FileName: string; Driver: Byte; const RecordsFile: string;
  FirstTag: Integer);
var
  Table: TDbf;
  Defs: TDbfFieldDefs;
  I, Eq: Integer;
  Tag: string;
begin
  Table := OpenTable(FileName, false);
  Defs := TDbfFieldDefs.Create(nil);
  try
    Table.TableLevel := 4;
    Table.LanguageID := Driver;
    Defs.DbfVersion := xBaseIV;
    { The engine's layout: text as wide as the catalogue says, whole numbers N 11.0, money
      N 20.4, dates D 8. }
    AddColumn(Defs, 'Item', ftString, 40);
    AddColumn(Defs, 'Brand', ftString, 20);
    AddColumn(Defs, 'Model', ftString, 20);
    AddColumn(Defs, 'Serial', ftString, 20);
    AddColumn(Defs, 'Location', ftString, 30);
    AddColumn(Defs, 'Descriptio', ftString, 110);
    AddColumn(Defs, 'BoughtFrom', ftString, 40);
    AddColumn(Defs, 'IDMarks', ftString, 60);
    AddColumn(Defs, 'Quantity', ftInteger, 11, 0);
    AddColumn(Defs, 'PurchDate', ftDate);
    AddColumn(Defs, 'Cost', ftFloat, 20, 4);
    AddColumn(Defs, 'Category', ftString, 20);
    AddColumn(Defs, 'RepCost', ftFloat, 20, 4);
    AddColumn(Defs, 'Warranty', ftString, 3);
    AddColumn(Defs, 'WarDate', ftDate);
    AddColumn(Defs, 'WarNotes', ftString, 30);
    AddColumn(Defs, 'Owner', ftString, 30);
    AddColumn(Defs, 'Value', ftFloat, 20, 4);
    AddColumn(Defs, 'UserDef1', ftString, 40);
    AddColumn(Defs, 'UserDef2', ftString, 40);
    AddColumn(Defs, 'UserDef3', ftString, 40);
    AddColumn(Defs, 'UserDef4', ftString, 40);
    Table.CreateTableEx(Defs);
    Table.Open;
    if Table.LanguageID <> Driver then
      Fail(Format('TDbf wrote language driver %d, not %d', [Table.LanguageID, Driver]));
    for I := FirstTag to ParamCount do
    begin
      Tag := ParamStr(I);
      Eq := Pos('=', Tag);
      if Eq < 2 then
        Fail('a tag is NAME=EXPRESSION, not ' + Tag);
      Table.AddIndex(Copy(Tag, 1, Eq - 1), Copy(Tag, Eq + 1, Length(Tag)), [ixExpression]);
    end;
    AppendRecords(Table, RecordsFile);
    Table.Close;
  finally
    Defs.Free;
    Table.Free;
  end;
end;

procedure AppendToTable(const FileName, RecordsFile: string);
var
  Table: TDbf;
begin
  if not FileExists(FileName) then
    Fail('no such file: ' + FileName);
  Table := OpenTable(FileName, false);
  try
    Table.Open;
    { Without the index (a missing lower-case .mdx, a language driver that does not match)
      TDbf would append quietly and leave the tags behind. }
    if Table.IndexDefs.Count = 0 then
      Fail('TDbf finds no index tags for ' + FileName);
    AppendRecords(Table, RecordsFile);
    Table.Close;
  finally
    Table.Free;
  end;
end;

{ ---------------------------------------------------------------- tags }

procedure ListTags(const FileName: string);
var
  Table: TDbf;
  I: Integer;
begin
  if not FileExists(FileName) then
    Fail('no such file: ' + FileName);
  Table := OpenTable(FileName, true);
  try
    Table.Open;
    for I := 0 to Table.IndexDefs.Count - 1 do
      WriteOut(Table.IndexDefs.Items[I].IndexFile + #9 + Table.IndexDefs.Items[I].Expression + #10);
    Table.Close;
  finally
    Table.Free;
  end;
end;

{ ---------------------------------------------------------------- dump }

function Clean(const S: RawByteString): RawByteString;
var
  I: Integer;
begin
  Result := S;
  for I := 1 to Length(Result) do
    if Result[I] in [#9, #10, #13] then
      Result[I] := ' ';
end;

{ A number column holds decimal text, and the dump rounds that text to two places, half away
  from zero (2.675 gives 2.68, although the double nearest 2.675 lies below it). TDbf hands
  over a double; its first 15 significant digits give back the stored text of every value
  that has no more digits than that, which is then rounded as text. }
function TwoDecimals(Value: Double; Decimals: Integer): string;
var
  Stored, Digits: string;
  Point, I: Integer;
  Carry: Boolean;
begin
  if Decimals < 2 then
    Decimals := 2;
  Stored := FloatToStrF(Abs(Value), ffFixed, 15, Decimals);
  if Pos('E', Stored) > 0 then
    exit(FormatFloat('0.00', Value)); { beyond 15 integer digits: no stored text to recover }
  Point := Pos('.', Stored);
  Digits := Copy(Stored, 1, Point - 1) + Copy(Stored, Point + 1, 2);
  Carry := Stored[Point + 3] >= '5';
  I := Length(Digits);
  while Carry and (I >= 1) do
  begin
    if Digits[I] = '9' then
      Digits[I] := '0'
    else
    begin
      Digits[I] := Succ(Digits[I]);
      Carry := false;
    end;
    Dec(I);
  end;
  if Carry then
    Digits := '1' + Digits;
  Result := Copy(Digits, 1, Length(Digits) - 2) + '.' + Copy(Digits, Length(Digits) - 1, 2);
  { No "-0.00": a value that rounds to nothing has no sign. }
  if (Value < 0) and (StringReplace(Digits, '0', '', [rfReplaceAll]) <> '') then
    Result := '-' + Result;
end;

function FieldText(Field: TField; Decimals: Integer): RawByteString;
var
  Buf: array[0..255] of Char;
begin
  Result := '';
  if Field.IsNull then
    exit;
  case Field.DataType of
    ftString:
      { GetData hands over the stored bytes with trailing blanks removed, untranslated. }
      if Field.GetData(@Buf[0]) then
        Result := StrPas(@Buf[0]);
    ftSmallint, ftWord, ftInteger, ftLargeint:
      Result := IntToStr(Field.AsLargeInt);
    ftFloat:
      Result := TwoDecimals(Field.AsFloat, Decimals);
    ftDate, ftDateTime:
      Result := FormatDateTime('yyyy-mm-dd', Field.AsDateTime);
    ftBoolean:
      if Field.AsBoolean then
        Result := 'True'
      else
        Result := 'False';
  else
    raise Exception.CreateFmt('column %s: type %s not handled',
      [Field.FieldName, FieldTypeNames[Field.DataType]]);
  end;
  Result := Clean(Result);
end;

procedure DumpTable(const FileName, Tag: string);
var
  Table: TDbf;
  Line: RawByteString;
  I: Integer;
begin
  if not FileExists(FileName) then
    Fail('no such file: ' + FileName);
  Table := OpenTable(FileName, true);
  try
    Table.Open;
    if Tag <> '' then
    begin
      Table.IndexName := Tag;
      { TDbf quietly falls back to record order for a tag it does not find. }
      if Table.IndexName = '' then
        Fail('no tag ' + Tag + ' in the production index of ' + FileName);
    end;
    Line := '';
    for I := 0 to Table.FieldCount - 1 do
    begin
      if I > 0 then
        Line := Line + #9;
      Line := Line + UpperCase(Table.Fields[I].FieldName);
    end;
    WriteOut(Line + #10);

    Table.First;
    while not Table.EOF do
    begin
      Line := '';
      for I := 0 to Table.FieldCount - 1 do
      begin
        if I > 0 then
          Line := Line + #9;
        Line := Line + FieldText(Table.Fields[I], Table.DbfFieldDefs.Items[I].Precision);
      end;
      WriteOut(Line + #10);
      Table.Next;
    end;
    Table.Close;
  finally
    Table.Free;
  end;
end;

begin
  { Numbers are written with '.', whatever the machine's locale. }
  DefaultFormatSettings.DecimalSeparator := '.';
  DefaultFormatSettings.ThousandSeparator := #0;
  RawBytes := TRawBytes.Create;
  try
    try
      if (ParamCount = 2) and (ParamStr(1) = 'write') then
        WriteTable(ParamStr(2))
      else if (ParamCount in [2, 3]) and (ParamStr(1) = 'dump') then
        DumpTable(ParamStr(2), ParamStr(3))
      else if (ParamCount = 2) and (ParamStr(1) = 'tags') then
        ListTags(ParamStr(2))
      else if (ParamCount >= 4) and (ParamStr(1) = 'load') then
        LoadTable(ParamStr(2), StrToInt(ParamStr(3)), ParamStr(4), 5)
      else if (ParamCount = 3) and (ParamStr(1) = 'append') then
        AppendToTable(ParamStr(2), ParamStr(3))
      else
        Fail('usage: tdbf_tool write FILE | dump FILE [TAG] | tags FILE'
          + ' | load FILE DRIVER RECORDS [NAME=EXPRESSION ...] | append FILE RECORDS');
    except
      on E: Exception do
        Fail(E.ClassName + ': ' + E.Message);
    end;
  finally
    RawBytes.Free;
  end;
end.
