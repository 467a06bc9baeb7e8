{ The reference for bench_index: Free Pascal's TDbf, an independent dBASE IV library, doing the
  same work on the same table, so that run_index_bench.sh can set our figures beside another
  implementation's, measured in the same run on the same machine.

    tdbf_index_bench build FILE   adds the tag NEWINDEX to FILE (exclusive use); FILE must have
                                  no production index yet
    tdbf_index_bench read FILE    reads every record in the order of NEWINDEX, every field as
                                  text, then once more moving the cursor only

  Each result is one tab-separated line, as bench_index prints them: name, records, seconds,
  then figures of its own. }
program tdbf_index_bench;

{$mode objfpc}{$H+}

uses
  SysUtils, Classes, db, dbf;

const
  TagName = 'NEWINDEX';
  Expression = 'UPPER(LEFT(CATEGORY,20))+DTOS(PURCHDATE)+STR(COST,12,2)';

type
  { The tables are Windows-1252 and so is the text we want: every translation is a copy, as in
    the interoperability tests' tool, so that no code-page conversion is timed. }
  TRawBytes = class
    function Translate(Dbf: TDbf; Src, Dest: PChar; ToOem: Boolean): Integer;
  end;

function TRawBytes.Translate(Dbf: TDbf; Src, Dest: PChar; ToOem: Boolean): Integer;
begin
  if Src <> Dest then
    StrCopy(Dest, Src);
  Result := StrLen(Dest);
end;

var
  RawBytes: TRawBytes;

procedure Fail(const Msg: string);
begin
  WriteLn(StdErr, 'tdbf_index_bench: ', Msg);
  Halt(2);
end;

{ Wall-clock seconds; GetTickCount64 counts milliseconds, plenty for steps of seconds. }
function Seconds(Start: QWord): Double;
begin
  Result := (GetTickCount64 - Start) / 1000.0;
end;

function OpenTable(const FileName: string; Exclusive: Boolean): TDbf;
begin
  Result := TDbf.Create(nil);
  Result.FilePathFull := ExtractFilePath(ExpandFileName(FileName));
  Result.TableName := ExtractFileName(FileName);
  Result.ReadOnly := not Exclusive;
  Result.Exclusive := Exclusive;
  Result.OnTranslate := @RawBytes.Translate;
end;

procedure Build(const FileName: string);
var
  Table: TDbf;
  Start: QWord;
  Took: Double;
begin
  Table := OpenTable(FileName, true);
  try
    Table.Open;
    Start := GetTickCount64;
    Table.AddIndex(TagName, Expression, [ixExpression]);
    Took := Seconds(Start);
    WriteLn('tdbf_build'#9, Table.PhysicalRecordCount, #9, Took:0:3);
    Table.Close;
  finally
    Table.Free;
  end;
end;

procedure ReadInTagOrder(const FileName: string);
var
  Table: TDbf;
  Start: QWord;
  Took: Double;
  Records, I: Integer;
  Bytes: Int64;
begin
  Table := OpenTable(FileName, false);
  try
    Start := GetTickCount64;
    Table.Open;
    Table.IndexName := TagName;
    Records := 0;
    Bytes := 0;
    Table.First;
    while not Table.EOF do
    begin
      for I := 0 to Table.FieldCount - 1 do
        Inc(Bytes, Length(Table.Fields[I].AsString));
      Inc(Records);
      Table.Next;
    end;
    Took := Seconds(Start);
    WriteLn('tdbf_read_tag_text'#9, Records, #9, Took:0:3, #9, Bytes);

    Start := GetTickCount64;
    Records := 0;
    Table.First;
    while not Table.EOF do
    begin
      Inc(Records);
      Table.Next;
    end;
    Took := Seconds(Start);
    WriteLn('tdbf_read_tag_cursor'#9, Records, #9, Took:0:3);
    Table.Close;
  finally
    Table.Free;
  end;
end;

begin
  DefaultFormatSettings.DecimalSeparator := '.';
  RawBytes := TRawBytes.Create;
  try
    try
      if (ParamCount = 2) and (ParamStr(1) = 'build') then
        Build(ParamStr(2))
      else if (ParamCount = 2) and (ParamStr(1) = 'read') then
        ReadInTagOrder(ParamStr(2))
      else
        Fail('usage: tdbf_index_bench build FILE | tdbf_index_bench read FILE');
    except
      on E: Exception do
        Fail(E.ClassName + ': ' + E.Message);
    end;
  finally
    RawBytes.Free;
  end;
end.
